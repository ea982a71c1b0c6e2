// Frees one block twice: under Wine's heap checking this must be reported,
// which shows that the check of the installation scenario can see a fault.
#include <windows.h>

int main()
{
    HANDLE heap = GetProcessHeap();
    void *block = HeapAlloc(heap, 0, 32);
    HeapFree(heap, 0, block);
    HeapFree(heap, 0, block);
    return 0;
}
