#include "components/prerequisites_dialog.h"

#include "diagnostics/string_ids.h"
#include "diagnostics/text_format.h"
#include "platform/codes.h"

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

CMainDlg::CMainDlg(Services& services, std::vector<Component>& components, const PackageFacts& package,
                   std::string caption, bool stopAtRestart)
    : services_(services),
      components_(components),
      package_(package),
      caption_(std::move(caption)),
      stopAtRestart_(stopAtRestart) {
    for (const Component& c : components_) {
        if (c.section.IsUninstall == 1) HasUninstallSteps = true;
    }
}

std::string CMainDlg::Caption() { return caption_; }

std::string CMainDlg::HeaderText() {
    return services_.strings.FormatLocalizedString(
        HasUninstallSteps ? ids::kHeaderSteps : ids::kHeaderComponents,
        package_.productName.c_str(), package_.productVersion.c_str());
}

std::string CMainDlg::InstallButtonText() {
    return services_.strings.LoadLocalizedString(HasUninstallSteps ? ids::kButtonContinue
                                                                  : ids::kButtonInstall);
}

std::string CMainDlg::CancelButtonText() {
    return services_.strings.LoadLocalizedString(ids::kButtonCancel);
}

bool CMainDlg::HasCheckBoxes() {
    for (const Component& c : components_) {
        if (c.optionalState != OptionalState::NoCheckBox) return true;
    }
    return false;
}

std::vector<platform::ListRow> CMainDlg::Rows() {
    std::vector<platform::ListRow> rows;
    for (const Component& c : components_) {
        platform::ListRow row;
        if (HasUninstallSteps) {
            row.text = services_.strings.LoadLocalizedString(
                c.section.IsUninstall != 0 ? ids::kItemUninstall : ids::kItemInstall);
        }
        row.text += c.section.Name;
        row.image = ImageOf(c.optionalState);
        rows.push_back(row);
    }
    return rows;
}

std::string CMainDlg::StatusText() {
    std::string collected;
    for (const Component& c : components_) collected += c.RunExeText;
    return TranslateStatusText(collected);
}

int CMainDlg::ToggledImage(int image) {
    if (image == kImageNone) return -1;
    return image == kImageUnchecked ? kImageChecked : kImageUnchecked;
}

int CMainDlg::Install(platform::WindowRef dialog, const std::vector<int>& images) {
    platform::Ui& ui = services_.os.ui();
    const bool checkBoxes = HasCheckBoxes();
    for (size_t i = 0; i < components_.size(); ++i) {
        components_[i].Selected =
            !checkBoxes || i >= images.size() || images[i] != kImageUnchecked;
    }

    installed = true;
    ui.EnableDialogButtons(dialog, false);
    DialogWindows windows(services_, dialog);
    InstallSelectedComponents(services_, components_, windows, false, stopAtRestart_, outcome);
    ui.EnableDialogButtons(dialog, true);
    ui.SetStatusText(dialog, std::string());
    if (outcome.tampered) return 0;  // nothing more from these media
    if (outcome.restartStarted) return 1;  // the machine goes down: the run ends

    std::string question = services_.strings.LoadLocalizedString(ids::kNotInstalledComponents);
    bool missing = false;
    for (Component& c : components_) {
        // What the installs changed: Present (and a program's choice) afresh.
        c.Take(ProbeComponent(services_, c.section));
        if (!c.Present && c.section.IsUninstall == 0 && c.Selected) {
            question += services_.strings.FormatLocalizedString(ids::kMissingComponentLine,
                                                                c.section.Name.c_str());
            missing = true;
        }
    }
    question += services_.strings.LoadLocalizedString(ids::kContinueQuestion);
    if (!missing) return 1;
    return ui.ShowMessage(dialog, question, caption_, codes::kBoxQuestion) ==
                   codes::kIdYes
               ? 1
               : 0;
}

std::string CDownloadDlg::Caption() {
    return services_.strings.LoadLocalizedString(ids::kDownloadCaption);
}

std::string CDownloadDlg::Explanation() {
    const char* name = component_.section.Name.c_str();
    if (component_.section.ChooseDownload.empty()) {
        return services_.strings.FormatLocalizedString(ids::kDownloadExplanation, name, name);
    }
    return services_.strings.FormatLocalizedString(ids::kDownloadExplanationChoose, name, name,
                                                  component_.section.ChooseDownload.c_str());
}

std::string CDownloadDlg::RecheckButtonText() {
    return services_.strings.LoadLocalizedString(ids::kButtonRecheck);
}

std::string CDownloadDlg::CancelButtonText() {
    return services_.strings.LoadLocalizedString(ids::kButtonCancel);
}

std::string CDownloadDlg::LinkLabel() {
    return services_.strings.FormatLocalizedString(ids::kDownloadLink, component_.section.Name.c_str());
}

std::string CDownloadDlg::LinkTarget() {
    // The program runs elevated: its link opens web pages, never a file or
    // a program that the configuration names.
    const std::string& url = component_.section.Url;
    if (StartsWithNoCase(url, "http:") || StartsWithNoCase(url, "https:")) return url;
    services_.log.Printf("Download link '%s' is not an http or https address; it is not opened.\r\n",
                         url.c_str());
    return std::string();
}

bool CDownloadDlg::Recheck() { return !component_.Take(ProbeComponent(services_, component_.section)); }

void DialogWindows::SetStatusText(const std::string& text) {
    if (dialog_ != 0) services_.os.ui().SetStatusText(dialog_, text);
}

int DialogWindows::RunDownloadDialog(Component& component) {
    CDownloadDlg dialog(services_, component);
    return services_.os.ui().RunDownloadDialog(dialog_, dialog);
}

}  // namespace setup
