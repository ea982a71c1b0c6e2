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
typedef DWORD(WINAPI *GetNamedSecurityCall)(LPSTR, int, SECURITY_INFORMATION, PSID *, PSID *, PACL *, PACL *,
                                            PSECURITY_DESCRIPTOR *);
typedef BOOL(WINAPI *SidFromTextCall)(LPCSTR, PSID *);
typedef BOOL(WINAPI *OpenTokenCall)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI *TokenInformationCall)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
typedef BOOL(WINAPI *EqualSidCall)(PSID, PSID);

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

// 1 when sid is the user this process runs as.
static int isOwnUser(HMODULE advapi, PSID sid)
{
    OpenTokenCall openToken = (OpenTokenCall)(void *)GetProcAddress(advapi, "OpenProcessToken");
    TokenInformationCall information = (TokenInformationCall)(void *)GetProcAddress(advapi, "GetTokenInformation");
    EqualSidCall equal = (EqualSidCall)(void *)GetProcAddress(advapi, "EqualSid");
    HANDLE token = NULL;
    union {
        TOKEN_USER user;
        char bytes[256];
    } own;
    DWORD length = 0;
    int same = openToken && information && equal && openToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
               information(token, TokenUser, &own, sizeof own, &length) && equal(own.user.User.Sid, sid);
    if (token) CloseHandle(token);
    return same;
}

int folderOwnedByAdministrators(const char *dir)
{
    HMODULE advapi = LoadLibraryA("ADVAPI32.DLL");
    if (!advapi) return 1;
    GetNamedSecurityCall getRights = (GetNamedSecurityCall)(void *)GetProcAddress(advapi, "GetNamedSecurityInfoA");
    SidFromTextCall sidOf = (SidFromTextCall)(void *)GetProcAddress(advapi, "ConvertStringSidToSidA");
    EqualSidCall equal = (EqualSidCall)(void *)GetProcAddress(advapi, "EqualSid");
    if (!getRights || !sidOf || !equal) {
        FreeLibrary(advapi);
        return 1;  // no owners on this platform
    }
    PSID owner = NULL;
    PSECURITY_DESCRIPTOR descriptor = NULL;
    int trusted = 0;
    if (getRights(const_cast<char *>(dir), fileObject, OWNER_SECURITY_INFORMATION, &owner, NULL, NULL, NULL,
                  &descriptor) == ERROR_SUCCESS && owner) {
        static const char *const administrators[] = {"S-1-5-32-544", "S-1-5-18"};
        for (const char *text : administrators) {
            PSID sid = NULL;
            if (sidOf(text, &sid)) {
                trusted = trusted || equal(sid, owner);
                LocalFree(sid);
            }
        }
        trusted = trusted || isOwnUser(advapi, owner);
    }
    if (descriptor) LocalFree(descriptor);
    FreeLibrary(advapi);
    return trusted;
}
