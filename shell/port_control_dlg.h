// The port window: chooses the port and speed, opens and closes the link,
// shows its traffic in expert mode, and is the single road of all bytes
// between the console and the mower.
#pragma once

#include <QDialog>
#include <QPointer>

#include <filesystem>
#include <map>

#include "console/host.h"
#include "shell/dialog_com_line.h"
#include "shell/port_traffic.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace verdelo {

class CStateColorButton;

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

 signals:
  // The link opened or closed; the text says why when it was lost.
  void linkChanged(bool open, const QString& reason);

 protected:
  bool event(QEvent* event) override;

 private:
  void OnInitDialog();
  bool OnSerialNotify(std::uint32_t param1);
  void AddTrafficLine(QListWidget* own, QListWidget* other, const std::string& line);
  void ShowLinkState(bool open);
  void CloseLink(const QString& reason);
  std::string SelectedDevice() const;
  void FillPortList();

  IWallClock& clock_;
  std::filesystem::path configFile_;
  CDialogComLine serialPort_;
  int portOpen_ = 0;
  RxByteHandler rxByteHandler_;
  PortWindowSettings settings_;

  QListWidget* rxList_ = nullptr;
  QListWidget* txList_ = nullptr;
  QComboBox* portList_ = nullptr;
  QComboBox* speedList_ = nullptr;
  CStateColorButton* openButton_ = nullptr;
  CStateColorButton* closeButton_ = nullptr;
  QLabel* statusText_ = nullptr;
  QLineEdit* sendText_ = nullptr;
  QPushButton* sendButton_ = nullptr;
  std::map<int, QWidget*> controls_;
};

}  // namespace verdelo
