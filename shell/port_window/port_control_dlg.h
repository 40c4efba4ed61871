// The port window: chooses the port and speed, asks the link supervisor to
// open and close the link, shows the link's state and its traffic in expert
// mode, and is the single road of all bytes between the console and the
// mower. Opening, reaching bridges, retrying and watching for a lost device
// are the supervisor's (link/link_supervisor.h).
#pragma once

#include <QDialog>

#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "console/host.h"
#include "link/link_supervisor.h"
#include "serial/port_slots.h"
#include "shell/port_window/port_traffic.h"
#include "shell/port_window/qt_link_host.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSocketNotifier;

namespace verdelo {

class CStateColorButton;
class SerialPortMonitor;
class TrafficList;

class CPortControlDlg : public QDialog, public ILink, private ILinkView {
  Q_OBJECT
 public:
  CPortControlDlg(IWallClock& clock, std::filesystem::path configFile);
  ~CPortControlDlg() override;

  // Builds the window from its template and runs its start-up, which reads
  // the port keys of config.txt and may open the port.
  void Create(QWidget* owner);

  // The link the console uses.
  int portOpen() const override { return link_.IsOpen() ? 1 : 0; }
  void Write(const std::uint8_t* data, std::uint32_t length) override;
  void LogTx(const std::uint8_t* data, std::uint32_t length) override;
  void SetRxByteHandler(RxByteHandler handler) override { rxByteHandler_ = std::move(handler); }

  void LogRx(const std::uint8_t* data, std::uint32_t length);

  void OnOpenPort();
  void OnClosePort();
  void OnSendText();

  bool expertMode() const { return settings_.expertMode; }
  QWidget* Control(int id) const;
  // The port and its state in a few words, for the console window's title:
  // "COM1 open", "COM1 lost: device gone, waiting", "COM1 closed".
  QString LinkStateText() const;
  // The link the window runs: its state, its line, its retry steps.
  LinkSupervisor& link() { return link_; }
  // The telemetry's connection state and warnings, shown in the status
  // tooltip below the link's reason; empty: none.
  void SetTelemetryNote(const QString& note);
  // The port list again, from the keys and the ports found now.
  void RefreshPortList();

 signals:
  // The link opened or closed; the text says why when it was lost.
  void linkChanged(bool open, const QString& reason);
  // The link closed because its device was lost, and opened again by itself
  // once the device came back (a bridge: once the mower answered through
  // it). A bridge lost again before that was never back: no second loss.
  void linkLost(const QString& reason);
  void linkReopened();
  // LinkStateText() changed.
  void linkStateChanged();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // What the supervisor tells.
  void StateChanged() override { emit linkStateChanged(); }
  void Opened() override;
  void Closed(const std::string& reason) override;
  void Lost(const std::string& reason) override { emit linkLost(QString::fromStdString(reason)); }
  void Reopened() override { emit linkReopened(); }
  void Tip(const std::string& tip) override { SetStatusTip(QString::fromStdString(tip)); }
  void Failed(const std::string& reason, bool inBox) override;
  void Note(const std::string& line) override;
  void Received(const std::uint8_t* bytes, std::uint32_t count) override;

  void OnInitDialog();
  void AddTrafficLine(TrafficList* own, TrafficList* other, const std::string& line);
  void ShowLinkState(bool open);
  // The status tooltip: the link's reason, then the telemetry's note.
  void SetStatusTip(const QString& linkTip);
  std::string SelectedDevice() const;
  // A path or an address typed into the port list, to open as typed rather
  // than the selected slot's device; else empty.
  QString TypedDevice() const;
  QString PortName() const;
  void FillPortList();
  void FitPortListPopup();

  IWallClock& clock_;
  std::filesystem::path configFile_;
  // The host before the supervisor: the supervisor's last posts go to it.
  QtLinkHost linkHost_;
  LinkSupervisor link_{linkHost_, *this};
  RxByteHandler rxByteHandler_;
  PortWindowSettings settings_;
  std::vector<PortSlot> slots_;
  std::unique_ptr<SerialPortMonitor> portMonitor_;
  QSocketNotifier* portNotifier_ = nullptr;

  TrafficList* rxList_ = nullptr;
  TrafficList* txList_ = nullptr;
  QComboBox* portList_ = nullptr;
  QComboBox* speedList_ = nullptr;
  CStateColorButton* openButton_ = nullptr;
  CStateColorButton* closeButton_ = nullptr;
  QLabel* statusText_ = nullptr;
  QString linkTip_;
  QString telemetryNote_;
  QLineEdit* sendText_ = nullptr;
  QPushButton* sendButton_ = nullptr;
  std::map<int, QWidget*> controls_;
};

}  // namespace verdelo
