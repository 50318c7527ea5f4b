#include "frontend/survey.h"

#include <cstring>

#include "frontend/language_list.h"
#include "frontend/setup_state.h"
#include "platform/platform.h"
#include "resources/setup_ids.h"
#include "util/bounded_string.h"
#include "util/setup_text.h"

LOGFONTA TitleFont = {
    0, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_STRING_PRECIS, CLIP_STROKE_PRECIS,
    DRAFT_QUALITY, VARIABLE_PITCH | FF_SWISS, "MS Sans Serif",
};

namespace {

const int kLineSize = 260;
const int kTitleSize = 128;
const int kVersionSize = 32;

// The title font is the same for every title line: made once, kept for the process.
HFONT TitleFontFor(HWND dialog) {
    static HFONT font = nullptr;
    if (font == nullptr) {
        HDC context = GetDC(dialog);
        TitleFont.lfHeight = MulDiv(-18, GetDeviceCaps(context, LOGPIXELSY), 72);  // 18 points
        ReleaseDC(dialog, context);
        font = CreateFontIndirectA(&TitleFont);
    }
    return font;
}

}  // namespace

int SurveyEntryCallback(char* nameBuffer, const uint8_t* data, uint32_t size, void* userData) {
    HWND dialog = static_cast<HWND>(userData);
    if (data == nullptr) {
        uint8_t action = SurveyAnswerForName(nameBuffer);
        if (action == kSurveyLanguageFile) {
            NoteLanguageStem(nameBuffer, gSetupState->fileStem, sizeof gSetupState->fileStem);
        }
        // The answer replaces only the first byte; the name keeps its length.
        nameBuffer[0] = static_cast<char>(action);
        return 0;
    }

    const char* text = reinterpret_cast<const char*>(data);
    switch (static_cast<uint8_t>(nameBuffer[0])) {
        case kSurveyTitleFile:
            ReadTitleLine(dialog, text);
            break;
        case kSurveySettingsFile:
            ReadInstallKeys(text);
            break;
        case kSurveyLanguageFile:
            if (size > static_cast<uint32_t>(kLanguageSuffixLength)) AddLanguageFromFile(dialog, data, size, nameBuffer);
            break;
        default:
            break;
    }
    return 0;
}

void ReadTitleLine(HWND dialog, const char* contents) {
    char title[kTitleSize];
    char version[kVersionSize];
    ParseTitleLine(contents, title, version);

    char caption[kLineSize];
    GetWindowTextA(dialog, caption, kLineSize);
    AppendBoundedBytes(" ", caption, kLineSize);
    AppendBoundedBytes(title, caption, kLineSize);
    AppendBoundedBytes(" ", caption, kLineSize);
    AppendBoundedBytes(version, caption, kLineSize);
    SetWindowTextA(dialog, caption);

    char titleText[kLineSize] = "";
    AppendBounded(title, titleText, kLineSize);
    AppendBounded(" ", titleText, kLineSize);
    AppendBounded(version, titleText, kLineSize);

    HFONT font = TitleFontFor(dialog);
    if (font != nullptr) SendDlgItemMessageA(dialog, kTitleControlId, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetDlgItemTextA(dialog, kTitleControlId, titleText);

    if (gSetupState->group[0] == 0) AssignBounded(title, gSetupState->group, sizeof gSetupState->group);
}

void ReadInstallKeys(const char* contents) {
    SetupState* state = gSetupState;
    ReadKeyValue(contents, "ID", state->productId, sizeof state->productId);
    ReadKeyValue(contents, "Group", state->group, sizeof state->group);
    ReadKeyValue(contents, "Class", state->windowClass, sizeof state->windowClass);
    ReadKeyValue(contents, "Exe", state->exeName, sizeof state->exeName);
}

void AddLanguageFromFile(HWND dialog, const uint8_t* contents, uint32_t size, const char* entryName) {
    char name[kLineSize];
    ParseLanguageName(contents, size, name);
    if (name[0] == 0) return;

    // The code stands before ".LNG". The name's first byte holds the survey's
    // answer, so a name too short to have a stem and "_" before the code
    // carries no usable code and is ignored.
    LanguageTag tag = 0;
    if (!LanguageFileTag(entryName, &tag)) return;

    HWND list = GetDlgItem(dialog, kLanguageListId);
    if (list == nullptr) return;
    if (FindLanguageRow(list, tag) < 0) InsertLanguageRow(list, name, tag);
}
