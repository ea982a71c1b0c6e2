#include "uninstall/folder_rights.h"

#include <windows.h>

#include <sddl.h>

// A folder at a drive's root (the default C:\QUILLMRK) inherits the root's
// rights, which let any user make and change files below it. Protected, the
// list no longer inherits them; its entries pass to everything inside.
static const char folderRights[] = "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

typedef BOOL(WINAPI *DescriptorFromTextCall)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR *, PULONG);
typedef BOOL(WINAPI *DescriptorListCall)(PSECURITY_DESCRIPTOR, LPBOOL, PACL *, LPBOOL);
typedef DWORD(WINAPI *SetNamedSecurityCall)(LPSTR, int, SECURITY_INFORMATION, PSID, PSID, PACL, PACL);

enum { fileObject = 1 };  // SE_FILE_OBJECT

int protectInstallFolder(const char *dir)
{
    // Windows 2000 and later have all three; earlier ones (95/98/Me, NT 4) keep the folder as it is.
    HMODULE advapi = LoadLibraryA("ADVAPI32.DLL");
    if (!advapi) return 0;
    DescriptorFromTextCall fromText = (DescriptorFromTextCall)(void *)GetProcAddress(
        advapi, "ConvertStringSecurityDescriptorToSecurityDescriptorA");
    DescriptorListCall listOf = (DescriptorListCall)(void *)GetProcAddress(advapi, "GetSecurityDescriptorDacl");
    SetNamedSecurityCall setRights = (SetNamedSecurityCall)(void *)GetProcAddress(advapi, "SetNamedSecurityInfoA");
    PSECURITY_DESCRIPTOR descriptor = NULL;
    PACL list = NULL;
    BOOL present = FALSE, defaulted = FALSE;
    int set = fromText && listOf && setRights && fromText(folderRights, SDDL_REVISION_1, &descriptor, NULL) &&
              listOf(descriptor, &present, &list, &defaulted) && present &&
              setRights(const_cast<char *>(dir), fileObject,
                        DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, NULL, NULL, list,
                        NULL) == ERROR_SUCCESS;
    if (descriptor) LocalFree(descriptor);
    FreeLibrary(advapi);
    return set;
}
