#include "Form.h"

#include "Accessibility.h"
#include "Element.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>

namespace zr::ui {

// The surface elements sit on. Moves over it (and over the shapes and lines on it, which are
// transparent to the mouse) are the window's mouse-move events.
class FormClientArea : public QWidget {
public:
    explicit FormClientArea(Form& form) : QWidget(&form), form_(form) {
        setMouseTracking(true);
        setAutoFillBackground(true);
    }

protected:
    void mouseMoveEvent(QMouseEvent* event) override {
        event->accept();
        form_.RaiseMouseMove(*event, *this);
    }

private:
    Form& form_;
};

Form::Form(QWidget* parent) : QWidget(parent, Qt::Window), client_(new FormClientArea(*this)) {
    InstallAccessibleElements();
    setMouseTracking(true);
    setFont(DefaultDialogFont());
    SetBackColor(backColor_);
    LayoutClient();
}

Form::~Form() {
    if (modalLoop_ != nullptr)
        modalLoop_->quit();
}

void Form::SetClientMargins(const QMargins& pixels) {
    margins_ = pixels;
    LayoutClient();
}

int Form::Width() const {
    return static_cast<int>(ToTwips(width()));
}

int Form::Height() const {
    return static_cast<int>(ToTwips(height()));
}

void Form::SetWidth(int twips) {
    resize(ToPixels(twips), height());
    RaiseResizeIfChanged();
}

void Form::SetHeight(int twips) {
    resize(width(), ToPixels(twips));
    RaiseResizeIfChanged();
}

void Form::SetClientSize(int widthTwips, int heightTwips) {
    const int menu = menuBar_ != nullptr ? menuBar_->sizeHint().height() : 0;
    resize(ToPixels(widthTwips) + margins_.left() + margins_.right(),
           ToPixels(heightTwips) + margins_.top() + margins_.bottom() + menu);
    RaiseResizeIfChanged();
}

int Form::ScaleWidth() const {
    return static_cast<int>(ToTwips(client_->width()));
}

int Form::ScaleHeight() const {
    return static_cast<int>(ToTwips(client_->height()));
}

void Form::SetBackColor(ColorRef colour) {
    backColor_ = colour;
    QPalette palette = client_->palette();
    palette.setColor(QPalette::Window, ToQColor(colour));
    client_->setPalette(palette);
    QPalette own = this->palette();
    own.setColor(QPalette::Window, ToQColor(colour));
    setPalette(own);
}

void Form::SetMousePointer(int pointer) {
    mousePointer_ = pointer;
    if (pointer == vbHourglass)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void Form::EnsureLoaded() {
    if (loaded_)
        return;
    loaded_ = true;
    Form_Load();
    emit LoadRaised();
}

void Form::setVisible(bool visible) {
    if (visible)
        EnsureLoaded();
    QWidget::setVisible(visible);
}

void Form::ShowModal() {
    QPointer<Form> self(this);
    setWindowModality(Qt::ApplicationModal);
    show();
    if (self.isNull() || isHidden())
        return;
    QEventLoop loop;
    modalLoop_ = &loop;
    loop.exec(QEventLoop::DialogExec);
    if (!self.isNull()) {
        modalLoop_ = nullptr;
        setWindowModality(Qt::NonModal);
    }
}

bool Form::Unload() {
    unloadByCode_ = true;
    const bool closed = close();
    unloadByCode_ = false;
    return closed;
}

Menu& Form::AddMenu(const QString& name, const QString& caption) {
    if (menuBar_ == nullptr) {
        menuBar_ = new QMenuBar(this); // child of this window
        menuBar_->show();
        LayoutClient();
    }
    QMenu* menu = menuBar_->addMenu(caption); // owned by the menu bar
    // A separator at the top of a menu is part of the layout; Qt would hide it.
    menu->setSeparatorsCollapsible(false);
    auto* wrapper = new Menu(*menu, name, this); // owned by this window
    LayoutClient();
    return *wrapper;
}

void Form::LayoutClient() {
    int top = margins_.top();
    if (menuBar_ != nullptr) {
        const int menuHeight = menuBar_->sizeHint().height();
        menuBar_->setGeometry(0, 0, width(), menuHeight);
        top += menuHeight;
    }
    client_->setGeometry(margins_.left(), top,
                         std::max(0, width() - margins_.left() - margins_.right()),
                         std::max(0, height() - top - margins_.bottom()));
}

void Form::RaiseResizeIfChanged() {
    LayoutClient();
    // Resize follows Load: sizes set before the first show are reported when it happens.
    if (!loaded_ || size() == reportedSize_)
        return;
    reportedSize_ = size();
    Form_Resize();
    emit ResizeRaised();
}

void Form::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    RaiseResizeIfChanged();
}

void Form::closeEvent(QCloseEvent* event) {
    const int mode = unloadByCode_ ? vbFormCode : vbFormControlMenu;
    int cancel = 0;
    Form_QueryUnload(cancel, mode);
    if (cancel == 0)
        Form_Unload(cancel);
    if (cancel != 0) {
        event->ignore();
        return;
    }
    event->accept();
}

void Form::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (modalLoop_ != nullptr && !isVisible())
        modalLoop_->quit();
}

void Form::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    RaiseMouseMove(*event, *this);
}

void Form::RaiseMouseMove(const QMouseEvent& event, const QWidget& source) {
    // Client coordinates, wherever the move landed (the frame of a frameless window included).
    const QPointF local = source.mapTo(this, event.position()) - QPointF(client_->pos());
    const MouseArgs args = MouseArgsFor(event, local);
    Form_MouseMove(args);
    emit MouseMoveRaised(args);
}

} // namespace zr::ui
