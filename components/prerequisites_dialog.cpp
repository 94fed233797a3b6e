#include "components/prerequisites_dialog.h"

#include "conditions/presence_probes.h"
#include "diagnostics/string_ids.h"
#include "diagnostics/text_format.h"
#include "driver/session.h"
#include "platform/codes.h"
#include "product/product_install.h"

namespace setup {

int ImageOf(OptionalState state) {
    switch (state) {
        case OptionalState::Unchecked: return kImageUnchecked;
        case OptionalState::Checked: return kImageChecked;
        default: return kImageNone;
    }
}

std::string TranslateStatusText(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (i + 1 >= text.size()) break;  // a backslash at the very end ends the text
        if (text[++i] == 'n') out += "\r\n";
    }
    return out;
}

CMainDlg::CMainDlg(Session& session, ComponentList& components)
    : session_(session), components_(components) {
    for (const ComponentDescriptor& c : components_) {
        if (c.IsUninstall == 1) HasUninstallSteps = true;
    }
}

std::string CMainDlg::Caption() { return SetupCaption(session_, false); }

std::string CMainDlg::HeaderText() {
    return session_.strings.FormatLocalizedString(
        HasUninstallSteps ? ids::kHeaderSteps : ids::kHeaderComponents,
        session_.package.productName.c_str(), session_.package.productVersion.c_str());
}

std::string CMainDlg::InstallButtonText() {
    return session_.strings.LoadLocalizedString(HasUninstallSteps ? ids::kButtonContinue
                                                                  : ids::kButtonInstall);
}

std::string CMainDlg::CancelButtonText() {
    return session_.strings.LoadLocalizedString(ids::kButtonCancel);
}

bool CMainDlg::HasCheckBoxes() {
    for (const ComponentDescriptor& c : components_) {
        if (c.optionalState != OptionalState::NoCheckBox) return true;
    }
    return false;
}

std::vector<platform::ListRow> CMainDlg::Rows() {
    std::vector<platform::ListRow> rows;
    for (const ComponentDescriptor& c : components_) {
        platform::ListRow row;
        if (HasUninstallSteps) {
            row.text = session_.strings.LoadLocalizedString(c.IsUninstall != 0 ? ids::kItemUninstall
                                                                               : ids::kItemInstall);
        }
        row.text += c.Name;
        row.image = ImageOf(c.optionalState);
        rows.push_back(row);
    }
    return rows;
}

std::string CMainDlg::StatusText() {
    std::string collected;
    for (const ComponentDescriptor& c : components_) collected += c.RunExeText;
    return TranslateStatusText(collected);
}

int CMainDlg::ToggledImage(int image) {
    if (image == kImageNone) return -1;
    return image == kImageUnchecked ? kImageChecked : kImageUnchecked;
}

int CMainDlg::Install(platform::WindowRef dialog, const std::vector<int>& images) {
    platform::Ui& ui = session_.os.ui();
    const bool checkBoxes = HasCheckBoxes();
    for (size_t i = 0; i < components_.size(); ++i) {
        components_[i].Selected =
            !checkBoxes || i >= images.size() || images[i] != kImageUnchecked;
    }

    ui.EnableDialogButtons(dialog, false);
    DialogWindows windows(session_, dialog);
    InstallSelectedComponents(session_, components_, windows, false, RebootRequired);
    ui.EnableDialogButtons(dialog, true);
    ui.SetStatusText(dialog, std::string());

    std::string question = session_.strings.LoadLocalizedString(ids::kNotInstalledComponents);
    bool missing = false;
    for (ComponentDescriptor& c : components_) {
        IsComponentNeeded(session_, c);  // refreshes Present (and a condition program's choice)
        if (!c.Present && c.IsUninstall == 0 && c.Selected) {
            question += session_.strings.FormatLocalizedString(ids::kMissingComponentLine, c.Name.c_str());
            missing = true;
        }
    }
    question += session_.strings.LoadLocalizedString(ids::kContinueQuestion);
    if (!missing) return 1;
    return ui.ShowMessage(dialog, question, SetupCaption(session_, false), codes::kBoxQuestion) ==
                   codes::kIdYes
               ? 1
               : 0;
}

std::string CDownloadDlg::Caption() {
    return session_.strings.LoadLocalizedString(ids::kDownloadCaption);
}

std::string CDownloadDlg::Explanation() {
    const char* name = component_.Name.c_str();
    if (component_.ChooseDownload.empty()) {
        return session_.strings.FormatLocalizedString(ids::kDownloadExplanation, name, name);
    }
    return session_.strings.FormatLocalizedString(ids::kDownloadExplanationChoose, name, name,
                                                  component_.ChooseDownload.c_str());
}

std::string CDownloadDlg::RecheckButtonText() {
    return session_.strings.LoadLocalizedString(ids::kButtonRecheck);
}

std::string CDownloadDlg::CancelButtonText() {
    return session_.strings.LoadLocalizedString(ids::kButtonCancel);
}

std::string CDownloadDlg::LinkLabel() {
    return session_.strings.FormatLocalizedString(ids::kDownloadLink, component_.Name.c_str());
}

std::string CDownloadDlg::LinkTarget() {
    // The program runs elevated: its link opens web pages, never a file or
    // a program that the configuration names.
    if (StartsWithNoCase(component_.Url, "http:") || StartsWithNoCase(component_.Url, "https:")) {
        return component_.Url;
    }
    session_.log.Printf("Download link '%s' is not an http or https address; it is not opened.\r\n",
                        component_.Url.c_str());
    return std::string();
}

bool CDownloadDlg::Recheck() { return !IsComponentNeeded(session_, component_); }

void DialogWindows::SetStatusText(const std::string& text) {
    if (dialog_ != 0) session_.os.ui().SetStatusText(dialog_, text);
}

int DialogWindows::RunDownloadDialog(ComponentDescriptor& component) {
    CDownloadDlg dialog(session_, component);
    return session_.os.ui().RunDownloadDialog(dialog_, dialog);
}

}  // namespace setup
