#include "Form.h"
#include "Guard.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>

namespace ui {

Form::Form(QWidget* parent) : QWidget(parent, Qt::Window) { setAttribute(Qt::WA_DeleteOnClose, false); }

void Form::Show()
{
    show();
    raise();
    activateWindow();
}

void Form::Hide() { hide(); }

void Form::Close() { close(); }

int Form::ShowModal()
{
    if (inModalLoop_) return modalResult_;
    modalResult_ = mrNone;
    setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    loop_ = &loop;
    inModalLoop_ = true;
    Show();
    if (isVisible()) loop.exec(QEventLoop::DialogExec);
    inModalLoop_ = false;
    loop_ = nullptr;
    setWindowModality(Qt::NonModal);
    if (modalResult_ == mrNone) modalResult_ = mrCancel;
    return modalResult_;
}

void Form::setModalResult(int result)
{
    modalResult_ = result;
    if (result != mrNone && inModalLoop_) hide();
}

void Form::setStayOnTop(bool on) { setWindowFlag(Qt::WindowStaysOnTopHint, on); }

void Form::setCloseBox(bool on)
{
    if (on) {
        setWindowFlags(windowFlags() & ~Qt::CustomizeWindowHint);
    } else {
        setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint) &
                       ~(Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint | Qt::WindowSystemMenuHint));
    }
}

void Form::setSystemMenuOnly()
{
    setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                    Qt::WindowCloseButtonHint) &
                   ~(Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint));
}

void Form::setOuterSize(int width, int height, bool fixed)
{
    outerSize_ = QSize(width, height);
    fixedOuterSize_ = fixed;
    fitOuterSize();
}

void Form::fitOuterSize()
{
    if (outerSize_.isEmpty()) return;
    // Resized by the user meanwhile: theirs is the size now.
    if (fittedSize_.isValid() && size() != fittedSize_) {
        outerSize_ = QSize();
        return;
    }
    const QSize frame = frameGeometry().size() - size();
    fittedSize_ = outerSize_ - frame;
    if (fixedOuterSize_) setFixedSize(fittedSize_);
    else resize(fittedSize_);
    // Some window systems frame a window only once it is mapped: until then it is fitted again.
    if (!frame.isNull()) outerSize_ = QSize();
}

void Form::centreOnScreen()
{
    centreOnShow_ = true;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void Form::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    fitOuterSize();
    if (centreOnShow_ && !event->spontaneous()) centreOnScreen();
    if (OnShow && !event->spontaneous()) guarded(OnShow);
}

void Form::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous()) return;
    if (OnHide) guarded(OnHide);
    if (loop_) loop_->exit();
}

void Form::closeEvent(QCloseEvent* event)
{
    if (OnClose) guarded(OnClose);
    QWidget::closeEvent(event);
}

void Form::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (OnPaint) guarded(OnPaint);
}

bool Form::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && OnActivate) guarded(OnActivate);
    return QWidget::event(event);
}

}  // namespace ui
