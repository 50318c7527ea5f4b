#include "install/install_context.h"

#include <commctrl.h>

#include <cstring>

#include "frontend/language_list.h"
#include "frontend/setup_state.h"
#include "platform/platform.h"
#include "util/bounded_string.h"
#include "util/entry_roles.h"
#include "util/file_names.h"

namespace {

const int kLanguageListId = 1010;
const int kStatusLineId = 1047;
const UINT kUntickedImage = 1;

enum LanguageVerdict { kNotALanguageEntry, kLanguageUnticked, kLanguageTicked };

// Language files and their companions carry "_XX" right after the stem
// (PROD_DE.LNG, PROD_DE.HLP): such an entry follows its row's tick in the
// dialog's language list. Only the stem's length is compared, not its text.
LanguageVerdict CheckLanguage(const InstallContext* context, const char* entryName, LanguageTag* tag) {
    size_t stemLength = gSetupState ? std::strlen(gSetupState->fileStem) : 0;
    const char* part = nullptr;
    size_t partLength = 0;
    if (!EntryLanguagePart(entryName, stemLength, &part, &partLength)) return kNotALanguageEntry;
    HWND list = context->dialog ? GetDlgItem(context->dialog, kLanguageListId) : nullptr;
    if (list == nullptr) return kNotALanguageEntry;

    char code[5] = {};
    std::memcpy(code, part, partLength);
    CharUpperBuffA(code, static_cast<DWORD>(partLength));
    *tag = 0;
    for (int i = 0; i < 3; ++i) *tag |= static_cast<LanguageTag>(static_cast<unsigned char>(code[i])) << (8 * i);

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

// Notes the entries that later steps name; false for an entry that is never
// installed (the settings file).
bool Classify(InstallContext* context, const char* fileName) {
    switch (InstalledRoleOf(fileName)) {
        case InstalledRole::kLicenseText:
            RecordName(context->licenseTextName, fileName);
            break;
        case InstalledRole::kOrderForm:
            RecordName(context->orderFormName, fileName);
            break;
        case InstalledRole::kGermanOrderForm:
            RecordName(context->germanOrderFormName, fileName);
            break;
        case InstalledRole::kUninstaller:
            RecordName(context->uninstallerName, fileName);
            break;
        case InstalledRole::kSettings:
            return false;
        case InstalledRole::kProgramCandidate:
            if (context->exeName[0] == 0) RecordName(context->exeName, fileName);
            break;
        case InstalledRole::kOther:
            break;
    }
    return true;
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

    const char* fileName = nameBuffer + FileNameOffset(nameBuffer);
    // Only a plain file name may be joined to the destination: an empty one
    // (the destination itself), "..", a drive or stream ("C:x", "a:b"), a
    // device (CON, NUL.TXT) or one that Windows would change ("a.txt.")
    // could write outside the folder or open a device. A sound archive never
    // holds such names; one that does has such entries left out.
    if (UnsafeFileNameReason(fileName) != nullptr) return Skip(nameBuffer);
    if (!Classify(context, fileName)) return Skip(nameBuffer);

    char target[MAX_PATH];
    AssignBounded(context->destination, target, sizeof target);
    JoinPath(fileName, target, sizeof target);
    // The pass truncates the file it creates, but a read-only file or one of
    // another installation must go first.
    if (ProbePath(target) == 0) DeleteFileA(target);
    AssignBounded(target, nameBuffer, 260);
    if (context->dialog != nullptr) SetDlgItemTextA(context->dialog, kStatusLineId, target);
    return 0;
}
