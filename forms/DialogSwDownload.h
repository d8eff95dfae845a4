#pragma once

#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "engine/NamTransferRequest.h"
#include "engine/TransferMeter.h"
#include "nv/NVList.h"
#include "forms/FormView.h"
#include "forms/OperationRunner.h"

namespace Ui {
class CDialogSwDownload;
}

namespace corvanetov {
class CLabel;

// The software download view: chooses software and font images and flashes
// them with one of six download options, or rebuilds a handset over its
// UART link. One job at a time: while one runs, its button reads "Stop" and
// the other job's button is disabled. A download's bar runs once over the
// whole download, all passes together; the line under it tells the pass,
// the amounts, the throughput and the time left, and the status line the
// step with them. A download may
// keep the handset's settings: they are read first, and written back once
// the handset runs its new software, all in one service record.
class CDialogSwDownload : public CFormView {
    Q_OBJECT
public:
    explicit CDialogSwDownload(QWidget* parent = nullptr);
    ~CDialogSwDownload() override;

    // The chosen files, or the placeholders.
    QString SoftwarePathText() const { return m_softwarePath; }
    QString FontPathText() const { return m_fontPath; }
    bool WorkerRunning() const { return m_runner.Running(); }

public slots:
    void OnOpenFile();
    void OnOpenFontFile();
    void OnStart();
    void OnRebuild();

protected:
    void OnInitialUpdate() override;

    // The view's dialogs; tests answer them without a window.
    // An image file chosen in the open-file dialog; empty when cancelled.
    virtual QString ChooseImageFile();
    // The Port Setting dialog for rebuild: true on OK.
    virtual bool RunRebuildPortDialog();
    virtual void ShowMessage(const QString& text, QMessageBox::Icon icon);

private:
    enum class Job { None, ReadToKeep, Download, WriteBack, Rebuild };

    void FindSoftware();
    void ChooseFile(QString& pathText, CLabel& label);
    void StartJob(Job job, std::function<void()> body);
    void NoteImages();
    std::function<void()> DownloadBody() const;
    bool KeepingSettings() const;
    // The read before and the write after a download that keeps the
    // settings, as steps of the download's own operation; the steps after
    // the read go on only with the handset it read.
    std::function<void()> SettingsStep(void (*worker)(NamTransferRequest));
    void GoOnAfter(Job job, const QString& status, std::function<void()> body, OperationRunner::Then then);
    void OnSettingsEnded(const OperationMessage& end);
    void OnDownloadEnded(const OperationMessage& end);
    void EndWith(const QString& text, QMessageBox::Icon icon);
    void FollowOption();
    // After an EMERGENCY download has recovered the handset: the NORMAL
    // option chosen before it, for the next handset, which runs normally.
    void ReturnToNormalOption();
    // At start: the window's port noted as waiting in download mode is
    // named at once, with the EMERGENCY option chosen for it.
    void TellWaitingAtStart();
    // Back to idle: captions, progress, animation, controls; the worker, if
    // any, ends.
    void Stop();
    void ShowReady();
    void FollowJob(OperationRunner::Turn turn);
    void OnOperationMessage(const OperationMessage& message);
    void ShowStep(const OperationMessage& message);
    void ShowProgress(const OperationMessage& message);
    void ShowPercent(int percent);
    // After a stopped download: where it may have left the handset.
    void TellWhereLeft();

    std::unique_ptr<Ui::CDialogSwDownload> m_ui;
    OperationRunner m_runner;
    QString m_softwarePath;
    QString m_fontPath;
    Job m_job = Job::None;
    QElapsedTimer m_started;
    QString m_step; // the last step the download named
    TransferMeter m_transfer;
    bool m_keeping = false; // the download started keeping the settings
    std::string m_keptEsn;  // the handset whose settings were read: the later steps' handset
    NVList m_settingsList;  // the items a settings step transfers
    QString m_flashEnd;     // the flash's end, told after the write back
    int m_normalOption = 0; // the last NORMAL option chosen
    bool m_keepWanted = false; // the keep box as the technician left it under a NORMAL option
};

} // namespace corvanetov
