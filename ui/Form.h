// The base of every window: a top-level widget with the behaviour the windows rely on
// (Show, ShowModal with a modal result, Hide, Close, Tag, caption, centring, stay-on-top) and
// show/hide/activate/close/paint handlers that run behind the guard.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>

class QEventLoop;

namespace ui {

enum ModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

class Form : public QWidget {
public:
    explicit Form(QWidget* parent = nullptr);

    void Show();
    void Hide();
    void Close();
    // Shows the window modally and returns its modal result when it is hidden or closed.
    int ShowModal();
    bool Modal() const { return inModalLoop_; }
    // Setting a result other than mrNone closes a modal window.
    void setModalResult(int result);

    QString Caption() const { return windowTitle(); }
    void setCaption(const QString& caption) { setWindowTitle(caption); }
    // The size with frame and title bar, as the window system frames the window. The frame is
    // known once the window is shown: the size is fitted again at the showings until then.
    void setOuterSize(int width, int height, bool fixed = false);
    void setStayOnTop(bool on);
    void setCloseBox(bool on);  // a window without a close box has only its frame
    void setSystemMenuOnly();   // title, system menu and close box: no minimise/maximise
    void centreOnScreen();

    int Tag = 0;

    // Event handlers, bound by the windows to their methods.
    std::function<void()> OnShow;
    std::function<void()> OnHide;
    std::function<void()> OnActivate;
    std::function<void()> OnClose;
    std::function<void()> OnPaint;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    void fitOuterSize();

    QSize outerSize_;   // still to fit, or empty
    QSize fittedSize_;  // the inner size last fitted
    bool fixedOuterSize_ = false;
    bool inModalLoop_ = false;
    bool centreOnShow_ = false;
    int modalResult_ = mrNone;
    QEventLoop* loop_ = nullptr;
};

}  // namespace ui
