// Exits at once: its run time is what Wine needs to start and end a program,
// to be subtracted from the others.
int main()
{
    return 0;
}
