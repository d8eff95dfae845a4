#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "engine/OperationFamily.h"
#include "engine/RoamingProgramRequest.h"
#include "forms/FormView.h"
#include "forms/OperationRunner.h"
class QComboBox;
class QLabel;

namespace corvanetov {

class CCommandButton;
class CLabel;
class CTextProgressCtrl;

// What the PRL and ERI download views share, which is all but their
// template and their words: one file per NAM, remembered in the per-user
// store, the option that chooses the NAMs, the start and stop of the
// programming and one progress bar per NAM.
class CRoamingDownloadView : public CFormView {
    Q_OBJECT
public:
    // The words and numbers of one of the twins.
    struct Kind {
        int state;                    // the operation state while it runs
        const OperationFamily& family;
        void (*worker)(RoamingProgramRequest request);
        const char* startCaption;
        const char* folder;           // the model folder, below the current folder
        const char* pattern;          // its files
        const char* const* values;    // the store's value per NAM
        const char* noFile;           // a NAM's path when nothing is stored; empty: the folder's pattern
        const char* checkFile;        // what an unreadable file's message asks to check
        const char* cannotOpen;       // a start with an unreadable file
        const char* dialogSuffix;
        const char* dialogInitialName;
        const char* dialogFilter;
    };
    static const Kind kPrl;
    static const Kind kEri;

    // The controls of the view's template.
    struct Controls {
        CLabel* title;
        QLabel* picture;
        std::array<CLabel*, 2> paths;
        std::array<CTextProgressCtrl*, 2> bars;
        QComboBox* option;
        std::array<CCommandButton*, 2> open;
        CCommandButton* start;
    };
    template <class Ui>
    static Controls ControlsOf(Ui& ui)
    {
        return {ui.labelTitle,
                ui.picture,
                {ui.labelNam1Path, ui.labelNam2Path},
                {ui.progressNam1, ui.progressNam2},
                ui.comboOption,
                {ui.buttonOpenNam1, ui.buttonOpenNam2},
                ui.buttonStart};
    }

    ~CRoamingDownloadView() override;

    // For tests and the host: the view's parts.
    QString Path(int nam) const { return m_paths[static_cast<size_t>(nam)]; }
    const Controls& GetControls() const { return m_controls; }
    bool WorkerRunning() const { return m_runner.Running(); }
    // The option list's selection: -1 when its text is no entry's.
    int Selection() const;

public slots:
    void OnStartClick();
    void OnOpenClick(int nam);

protected:
    CRoamingDownloadView(const Kind& kind, QWidget* parent);
    // Called by the twin once its template is set up.
    void Attach(const Controls& controls);
    void OnInitialUpdate() override;

    // What asks the user; tests answer without a box. An empty path: cancelled.
    virtual QString ChooseFile(int nam);
    virtual void ShowMessage(const QString& text, QMessageBox::Icon icon);
    // Seconds since 1970, for the elapsed time of the progress texts.
    virtual int64_t NowSeconds() const;

private:
    void LoadPaths();
    void SavePaths() const;
    QString NoFilePath() const;
    void EnableOpenButtons();
    void ShowBarsReady(int option);
    // A NAM that took its whole file ends at 100 % "Done", a chosen one that
    // did not says it was not written.
    void ShowBarsEnded();
    void ShowBar(int nam, const char* text, int position);
    bool FilesReadable(int option) const;
    void StartProgramming(int option);
    void Finish();
    void OnOperationMessage(const OperationMessage& message);
    void ShowProgress(int nam, int percent);

    const Kind& m_kind;
    Controls m_controls{};
    std::array<QString, 2> m_paths;
    int64_t m_startSeconds = 0;
    int m_startedOption = 0;
    std::array<int, 2> m_percent{};
    OperationRunner m_runner;
};

} // namespace corvanetov
