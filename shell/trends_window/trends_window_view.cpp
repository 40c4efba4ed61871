// The trends window's view of time: zooming, panning, the cursor that
// reads every series at one time, and the exports of what is shown.
#include <QDateTime>
#include <QFileInfo>
#include <QImageWriter>
#include <QKeyEvent>
#include <QToolTip>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "shell/trends_window/trends_window.h"
#include "trends/csv_export.h"
#include "trends/status_info.h"

namespace verdelo {

namespace {

QString Text(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<int>(utf8.size())); }

QString Label(trends::SeriesId id) {
  const auto label = trends::Info(id).label;
  return QString::fromUtf8(label.data(), static_cast<int>(label.size()));
}

}  // namespace

void CTrendsWindow::ShowLast(qint64 span) {
  view_.ShowLast(span, shownStore().TimeRange());
  RequestRedraw();
}

void CTrendsWindow::ShowAll() {
  view_.ShowAll(shownStore().TimeRange());
  RequestRedraw();
}

void CTrendsWindow::Zoom(qint64 anchor, double factor) {
  view_.Zoom(anchor, factor, shownStore().TimeRange());
  RequestRedraw();
}

void CTrendsWindow::Pan(qint64 by) {
  view_.Pan(by, shownStore().TimeRange());
  RequestRedraw();
}

void CTrendsWindow::keyPressEvent(QKeyEvent* event) {
  const qint64 span = view_.to() - view_.from();
  const qint64 middle = view_.from() + span / 2;
  switch (event->key()) {
    case Qt::Key_Left: Pan(-span / 10); break;
    case Qt::Key_Right: Pan(span / 10); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: Zoom(middle, 0.5); break;
    case Qt::Key_Minus: Zoom(middle, 2.0); break;
    case Qt::Key_Home: ShowAll(); break;
    case Qt::Key_End: ShowLast(span); break;
    default: QWidget::keyPressEvent(event); return;
  }
  event->accept();
}

void CTrendsWindow::OnCursor(qint64 t, QPoint globalPos, TrendsChartView* view) {
  cursor_ = t;
  charts_->SetCursor(t);
  UpdateReadout();
  if (view != charts_->statusView()) return;
  // Over the status strip: the event under the pointer, else the status.
  const trends::SeriesStore& store = shownStore();
  const double msPerPixel = static_cast<double>(view_.to() - view_.from()) / view->PlotWidth();
  QString tip;
  if (const auto marker = store.MarkerNear(t, static_cast<std::int64_t>(msPerPixel * 5)); marker && charts_->MarkerCount() > 0)
    tip = Text(marker->text);
  else if (const auto status = store.At(trends::SeriesId::Status, t))
    tip = Text(trends::StatusText(status->least));
  QToolTip::showText(globalPos, tip, view);
}

void CTrendsWindow::UpdateReadout() {
  if (!cursor_) {
    readout_->setText(QStringLiteral("Point at the charts to read every value at one time."));
    return;
  }
  const trends::SeriesStore& store = shownStore();
  QString text = QDateTime::fromMSecsSinceEpoch(*cursor_).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
  for (trends::SeriesId id : trends::AllSeries()) {
    if (!charts_->IsSeriesVisible(id)) continue;
    const auto reading = store.At(id, *cursor_);
    const auto last = store.LastTime(id);
    if (!reading || !last || *cursor_ > *last) continue;
    text += QStringLiteral(" \u00B7 ") + Label(id) + QStringLiteral(" ") +
            Text(trends::FormatValue(id, reading->least, reading->greatest));
  }
  readout_->setText(text);
}

bool CTrendsWindow::ExportPng(const QString& file) {
  QImageWriter writer(file, "PNG");
  const bool written = writer.write(charts_->grab().toImage());
  ReportExport(file, written, writer.errorString());
  return written;
}

bool CTrendsWindow::ExportCsv(const QString& file) {
  errno = 0;
  std::ofstream out(file.toStdString(), std::ios::binary | std::ios::trunc);
  if (out) {
    trends::WriteCsv(shownStore(), view_.from(), view_.to(), out);
    out.close();  // the last bytes reach the file, or fail, here
  }
  const bool written = !out.fail();
  ReportExport(file, written, QString::fromLocal8Bit(std::strerror(errno != 0 ? errno : EIO)));
  return written;
}

void CTrendsWindow::ReportExport(const QString& file, bool written, const QString& reason) {
  exportLabel_->setText(written ? QString()
                                : QStringLiteral("%1 was not written: %2").arg(QFileInfo(file).fileName(), reason));
}

}  // namespace verdelo
