// The two dialogs of the prerequisites stage, apart from their windows:
// the list of missing components (CMainDlg) and the manual download of a
// component whose package is not on the media (CDownloadDlg).
#pragma once

#include <string>
#include <vector>

#include "components/component_installer.h"
#include "diagnostics/services.h"
#include "product/package.h"

namespace setup {

// Image indices of the list's rows.
constexpr int kImageUnchecked = 0;
constexpr int kImageChecked = 1;
constexpr int kImageNone = 2;

int ImageOf(OptionalState state);

// The status text made of the condition programs' output: a backslash and
// "n" become a line break, a backslash drops the character after it.
std::string TranslateStatusText(const std::string& text);

class CMainDlg : public platform::PrerequisitesDialog {
public:
    CMainDlg(Services& services, std::vector<Component>& components, const PackageFacts& package,
             std::string caption, bool stopAtRestart);

    std::string Caption() override;
    std::string HeaderText() override;
    std::string InstallButtonText() override;
    std::string CancelButtonText() override;
    bool HasCheckBoxes() override;
    std::vector<platform::ListRow> Rows() override;
    std::string StatusText() override;
    int ToggledImage(int image) override;
    int Install(platform::WindowRef dialog, const std::vector<int>& images) override;

    InstallOutcome outcome;
    bool installed = false;  // Install was pressed (ticks chosen)
    bool HasUninstallSteps = false;

private:
    Services& services_;
    std::vector<Component>& components_;
    const PackageFacts& package_;
    std::string caption_;
    bool stopAtRestart_;
};

class CDownloadDlg : public platform::DownloadDialog {
public:
    CDownloadDlg(Services& services, Component& component)
        : services_(services), component_(component) {}

    std::string Caption() override;
    std::string Explanation() override;
    std::string RecheckButtonText() override;
    std::string CancelButtonText() override;
    std::string LinkLabel() override;
    std::string LinkTarget() override;
    bool Recheck() override;

private:
    Services& services_;
    Component& component_;
};

// The install loop's windows: the prerequisites dialog, or none.
class DialogWindows : public PrerequisiteWindows {
public:
    DialogWindows(Services& services, platform::WindowRef dialog)
        : services_(services), dialog_(dialog) {}
    platform::WindowRef Owner() override { return dialog_; }
    void SetStatusText(const std::string& text) override;
    int RunDownloadDialog(Component& component) override;

private:
    Services& services_;
    platform::WindowRef dialog_;
};

}  // namespace setup
