// One file from the medium to its destination through the platform's LZ
// library, which expands a compressed source and copies any other as it is.
#include "copy/transfer.h"

#include <windows.h>
#include <lzexpand.h>
#include <cstring>

#include "install/message_box.h"
#include "install/text.h"
#include "shell/shell.h"

/*
 * Copies source to destination; equal names copy nothing. A source that
 * cannot be opened leaves the destination untouched; only a copy that fails
 * once both are open is reported, with the source as text and the
 * destination as caption.
 */
void transferFile(const char *source, const char *destination)
{
    // LZOpenFileA takes writable names; a name too long to hold opens nothing.
    char sourceName[textSize];
    char destinationName[textSize];
    OFSTRUCT openInfo;
    if (strcmp(source, destination) == 0) return;
    if (copyText(sourceName, sizeof sourceName, source) != 0) return;
    if (copyText(destinationName, sizeof destinationName, destination) != 0) return;

    INT from = LZOpenFileA(sourceName, &openInfo, OF_READ);
    if (from < 0) return;
    INT to = LZOpenFileA(destinationName, &openInfo, OF_CREATE);
    if (to < 0) {
        LZClose(from);
        return;
    }
    if (CopyLZFile(from, to) < 0) showMessage(mainWindow, source, destination, MB_OK);
    LZClose(from);
    LZClose(to);
}
