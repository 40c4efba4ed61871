// The port window: chooses the port and speed, opens and closes the link,
// shows its traffic in expert mode, and is the single road of all bytes
// between the console and the mower. A device that is lost is watched for
// and reopened when it comes back.
#pragma once

#include <QDialog>
#include <QTimer>

#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "console/host.h"
#include "serial/port_slots.h"
#include "shell/dialog_com_line.h"
#include "shell/port_traffic.h"

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
  // Waiting for a lost or absent device to come back.
  bool IsWaitingForDevice() const { return watch_ != nullptr; }
  // The telemetry's connection state and warnings, shown in the status
  // tooltip below the link's reason; empty: none.
  void SetTelemetryNote(const QString& note);
  // The port list again, from the keys and the ports found now.
  void RefreshPortList();

 signals:
  // The link opened or closed; the text says why when it was lost.
  void linkChanged(bool open, const QString& reason);
  // The link closed because its device was lost, and opened again by itself
  // once the device came back.
  void linkLost(const QString& reason);
  void linkReopened();
  // LinkStateText() changed.
  void linkStateChanged();

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class LinkState { Closed, Open, Lost, Absent };

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
