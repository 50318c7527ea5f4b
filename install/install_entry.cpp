#include "install/install_context.h"

#include <commctrl.h>

#include <cstring>

#include "common/setup_state.h"
#include "frontend/language_list.h"
#include "install/install_log.h"
#include "platform/platform.h"
#include "resources/setup_ids.h"
#include "util/bounded_string.h"
#include "util/file_names.h"

namespace {

const UINT kUntickedImage = 1;

enum LanguageVerdict { kNotALanguageEntry, kLanguageUnticked, kLanguageTicked };

bool EndsWithNoCase(const char* text, int length, const char* suffix) {
    int suffixLength = static_cast<int>(std::strlen(suffix));
    return length > suffixLength && CompareNoCase(text + length - suffixLength, suffix) == 0;
}

// Language files and their companions carry "_XX" right after the stem
// (PROD_DE.LNG, PROD_DE.HLP): such an entry follows its row's tick in the
// dialog's language list. Only the stem's length is compared, not its text.
LanguageVerdict CheckLanguage(const InstallContext* context, const char* entryName, LanguageTag* tag) {
    const char* rest = std::strchr(entryName, '\\');
    rest = rest != nullptr ? rest + 1 : entryName;
    size_t stemLength = gSetupState ? std::strlen(gSetupState->fileStem) : 0;
    if (std::strlen(rest) <= stemLength || rest[stemLength] != '_') return kNotALanguageEntry;

    const char* part = rest + stemLength + 1;
    const char* stop = std::strchr(part, '.');
    size_t partLength = stop != nullptr ? static_cast<size_t>(stop - part) : std::strlen(part);
    HWND list = context->dialog ? GetDlgItem(context->dialog, kLanguageListId) : nullptr;
    if (partLength >= 5 || (list == nullptr && context->languages == nullptr)) return kNotALanguageEntry;

    char code[5] = {};
    std::memcpy(code, part, partLength);
    CharUpperBuffA(code, static_cast<DWORD>(partLength));
    *tag = 0;
    for (int i = 0; i < 3; ++i) *tag |= static_cast<LanguageTag>(static_cast<unsigned char>(code[i])) << (8 * i);

    if (list == nullptr) {
        for (int i = 0; i < context->languageCount; ++i) {
            if (context->languages[i].tag == *tag) return context->languages[i].ticked ? kLanguageTicked : kLanguageUnticked;
        }
        return kNotALanguageEntry;
    }
    int row = FindLanguageRow(list, *tag);
    if (row < 0) return kNotALanguageEntry;
    UINT image = static_cast<UINT>(SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row),
                                                LVIS_STATEIMAGEMASK)) >> 12;
    return image == kUntickedImage ? kLanguageUnticked : kLanguageTicked;
}

void RecordName(char* field, const char* fileName) {
    field[0] = 0;
    AppendBounded(fileName, field, 32);
}

// Notes the entries that later steps name.
void Classify(InstallContext* context, const char* fileName) {
    int length = static_cast<int>(std::strlen(fileName));
    if (CompareNoCase(fileName, "LICENSE.TXT") == 0) {
        RecordName(context->licenseTextName, fileName);
    } else if (CompareNoCase(fileName, "ORDER.HTM") == 0) {
        RecordName(context->orderFormName, fileName);
    } else if (CompareNoCase(fileName, "BESTELL.HTM") == 0) {
        RecordName(context->germanOrderFormName, fileName);
    } else if (CompareNoCase(fileName, "UnInst.exe") == 0) {
        RecordName(context->uninstallerName, fileName);
    } else if (EndsWithNoCase(fileName, length, ".EXE") && (fileName[0] == 'T' || fileName[0] == 't') &&
               context->exeName[0] == 0) {
        // The product's programs carry the TG prefix; the first one is the main program.
        RecordName(context->exeName, fileName);
    }
}

int Skip(char* nameBuffer) {
    nameBuffer[0] = 0;
    return 0;
}

}  // namespace

int InstallEntryCallback(char* nameBuffer, const uint8_t* data, uint32_t size, void* userData) {
    (void)size;
    InstallContext* context = static_cast<InstallContext*>(userData);
    if (data != nullptr || context == nullptr) return 0;  // nothing is ever asked for in memory

    LanguageTag tag = 0;
    LanguageVerdict language = CheckLanguage(context, nameBuffer, &tag);
    if (language == kLanguageUnticked) return Skip(nameBuffer);
    if (language == kLanguageTicked && tag == MakeLanguageTag('D', 'E')) ++context->germanEntryCount;

    // Only a plain file name may be joined to the destination: an empty one
    // (the destination itself), "..", a drive or stream ("C:x", "a:b"), a
    // device (CON, NUL.TXT) or one that Windows would change ("a.txt.")
    // could write outside the folder or open a device. A sound archive never
    // holds such names; one that does has such entries left out. Settings
    // files are never installed either.
    const char* fileName = InstalledFileName(nameBuffer);
    if (fileName == nullptr) return Skip(nameBuffer);
    Classify(context, fileName);

    char target[MAX_PATH];
    AssignBounded(context->destination, target, sizeof target);
    JoinPath(fileName, target, sizeof target);
    // The pass truncates the file it creates, but a read-only file or one of
    // another installation must go first.
    if (ProbePath(target) == 0) DeleteFileA(target);
    AssignBounded(target, nameBuffer, 260);
    if (context->dialog != nullptr) SetDlgItemTextA(context->dialog, kStatusLineId, target);
    LogInstallLine("File", target);
    return 0;
}
