// The port window: chooses the port and speed, opens and closes the link,
// shows its traffic in expert mode, and is the single road of all bytes
// between the console and the mower. A device that is lost is watched for
// and reopened when it comes back. A network bridge is connected to on a
// helper thread so the window keeps turning while it is reached, and one
// that cannot be reached or is lost is tried again with a growing pause.
#pragma once

#include <QDialog>
#include <QTimer>

#include <filesystem>
#include <future>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "console/host.h"
#include "console/mower_frame.h"
#include "serial/port_slots.h"
#include "shell/dialog_com_line.h"
#include "shell/port_traffic.h"
#include "shell/reconnect_backoff.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSocketNotifier;

namespace verdelo {

class CStateColorButton;
class DeviceWatch;
class SerialPortMonitor;
class TrafficList;

class CPortControlDlg : public QDialog, public ILink {
  Q_OBJECT
 public:
  CPortControlDlg(IWallClock& clock, std::filesystem::path configFile);
  ~CPortControlDlg() override;

  // Builds the window from its template and runs its start-up, which reads
  // the port keys of config.txt and may open the port.
  void Create(QWidget* owner);

  // The link the console uses.
  int portOpen() const override { return portOpen_; }
  void Write(const std::uint8_t* data, std::uint32_t length) override;
  void LogTx(const std::uint8_t* data, std::uint32_t length) override;
  void SetRxByteHandler(RxByteHandler handler) override { rxByteHandler_ = std::move(handler); }

  void LogRx(const std::uint8_t* data, std::uint32_t length);

  void OnOpenPort();
  void OnClosePort();
  void OnSendText();

  CDialogComLine& serialPort() { return serialPort_; }
  bool expertMode() const { return settings_.expertMode; }
  QWidget* Control(int id) const;
  // The port and its state in a few words, for the console window's title:
  // "COM1 open", "COM1 lost: device gone, waiting", "COM1 closed".
  QString LinkStateText() const;
  // Waiting for a lost or absent device to come back, or trying again to
  // reach a network bridge.
  bool IsWaitingForDevice() const { return watch_ != nullptr || retrying_; }
  // A connection to a network bridge is being made.
  bool IsConnecting() const { return connecting_; }
  // The first pause before trying a bridge again; it doubles up to 30 s.
  // Applies from the next open asked for on.
  void SetReconnectFirstStep(int ms) { reconnectFirstStepMs_ = ms; }
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
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class LinkState { Closed, Open, Lost, Absent, Connecting };
  // Who asked for a network open, which decides what its failure does.
  enum class OpenPurpose { Click, Start, Retry };

  void OnInitDialog();
  bool OnSerialNotify(std::uint32_t param1);
  void AddTrafficLine(TrafficList* own, TrafficList* other, const std::string& line);
  void ShowLinkState(bool open);
  void SetLinkState(LinkState state);
  // The status tooltip: the link's reason, then the telemetry's note.
  void SetStatusTip(const QString& linkTip);
  void CloseLink(const QString& reason);
  std::string SelectedDevice() const;
  // The device the user asked for: one typed into the port list as a path
  // or an address, else the selected slot's.
  std::string RequestedDevice() const;
  QString PortName() const;
  void FillPortList();
  void FitPortListPopup();

  // Opens `device` as the Open button does; 0 or why not.
  std::int32_t OpenLink(const std::string& device);
  // What follows a successful open: the listener, the colours, the state.
  void ShowOpenedLink(const std::string& device);
  // Starts reaching a network bridge on a helper thread; the outcome comes
  // back as a posted event (or at once, should the bridge answer quickly).
  void BeginConnect(const std::string& device, OpenPurpose purpose);
  void FinishConnect(std::uint32_t attempt);
  void OnConnectOutcome(std::int32_t result, const std::string& device, OpenPurpose purpose);
  // Ends the connect under way as soon as its helper sees it; the outcome
  // is then dropped.
  void BreakOffConnect();
  // Watches the bytes of a new link for the mower's first answer frame.
  void NoteAnswers(const std::uint8_t* bytes, std::uint32_t count);
  void StartRetrying(const std::string& device);
  void ScheduleRetry();
  void StopRetrying();
  void OnRetryTimer();
  // Says why an open failed: in the "COM-port NOK" box, or (while nothing
  // should hold the window up) in the status text and its tooltip.
  void SayOpenFailure(std::int32_t result, const std::string& device, bool inBox);
  void StartWatch(const std::string& device);
  void StopWatch();
  void OnWatchWake();

  IWallClock& clock_;
  std::filesystem::path configFile_;
  CDialogComLine serialPort_;
  int portOpen_ = 0;
  RxByteHandler rxByteHandler_;
  PortWindowSettings settings_;
  std::vector<PortSlot> slots_;
  std::string openDevice_;  // what the link opened, or last had open
  LinkState linkState_ = LinkState::Closed;

  std::unique_ptr<DeviceWatch> watch_;
  QSocketNotifier* watchNotifier_ = nullptr;
  QTimer watchTimer_;  // a look now and then, should the folder say nothing

  // The connect in progress on its helper thread. While it runs the helper
  // owns serialPort_: the window touches it only once the outcome is in.
  std::thread connector_;
  std::future<std::int32_t> connectOutcome_;
  bool connecting_ = false;
  bool connectCancelled_ = false;  // closed by the user meanwhile
  bool openWhenFree_ = false;      // Open was pressed for another port meanwhile
  std::uint32_t connectAttempt_ = 0;
  std::string connectDevice_;
  OpenPurpose connectPurpose_ = OpenPurpose::Click;
  std::uint32_t deferredNotify_ = 0;  // port events that came while connecting

  // Trying an unreachable or lost bridge again.
  bool retrying_ = false;
  std::string retryDevice_;
  int reconnectFirstStepMs_ = ReconnectBackoff::kFirstStepMs;
  ReconnectBackoff backoff_;
  int nextRetryMs_ = 0;
  QTimer retryTimer_;
  // The mower's frames on the link, up to the first whole one.
  FrameAssembler answers_;
  // A retry reopened the link, but the mower has not answered through it
  // yet: its reopening is not told, and neither is its loss.
  bool reopenUntold_ = false;
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
