#include "uninstall/uninstall_texts.h"

#include <cstring>

#include "frontend/ui_strings.h"

namespace {

// Texts are Windows-1252: \xE4 a-umlaut, \xF6 o-umlaut, \xFC u-umlaut, \xE8 e-grave.
const char kUsage[] =
    "UnInst [/S]\n\n/S\tremove without any window\n\n"
    "Exit codes: 0 removed, 1 bad command line, 2 cancelled, 3 some items could not be removed.";

const UiStringTable kEnglish[] = {
    {0, "US"},
    {kUninstallCaptionText, "Uninstall"},
    {kConfirmText, "Do you want to remove %s and all of its components from this computer?"},
    {kRemovedText, "%s has been removed from this computer."},
    {kPartlyRemovedText, "%s has been removed from this computer, except for the following."},
    {kAtRestartText, "In use now, removed when Windows restarts:"},
    {kNotRemovedText, "Could not be removed:"},
    {kUninstallUsageText, kUsage},
    {0, nullptr},
};

const UiStringTable kGerman[] = {
    {0, "DE"},
    {kUninstallCaptionText, "Deinstallation"},
    {kConfirmText, "M\xF6" "chten Sie %s und alle zugeh\xF6" "rigen Komponenten von diesem Computer entfernen?"},
    {kRemovedText, "%s wurde von diesem Computer entfernt."},
    {kPartlyRemovedText, "%s wurde von diesem Computer entfernt, bis auf Folgendes."},
    {kAtRestartText, "Zur Zeit in Gebrauch, wird beim n\xE4" "chsten Neustart von Windows entfernt:"},
    {kNotRemovedText, "Konnte nicht entfernt werden:"},
    {kUninstallUsageText, kUsage},
    {0, nullptr},
};

const UiStringTable kItalian[] = {
    {0, "IT"},
    {kUninstallCaptionText, "Disinstallazione"},
    {kConfirmText, "Rimuovere %s e tutti i suoi componenti da questo computer?"},
    {kRemovedText, "%s \xE8 stato rimosso da questo computer."},
    {kPartlyRemovedText, "%s \xE8 stato rimosso da questo computer, tranne quanto segue."},
    {kAtRestartText, "In uso, verr\xE0 rimosso al prossimo riavvio di Windows:"},
    {kNotRemovedText, "Impossibile rimuovere:"},
    {kUninstallUsageText, kUsage},
    {0, nullptr},
};

}  // namespace

const UiStringTable* SelectUninstallTexts() {
    char code[4] = "";
    DetectSystemLanguage(code);
    if (std::strcmp(code, "DE") == 0) return kGerman;
    if (std::strcmp(code, "IT") == 0) return kItalian;
    return kEnglish;
}
