#include "Form.h"

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
    explicit FormClientArea(Form& form) : QWidget(&form), m_form(form) {
        setMouseTracking(true);
        setAutoFillBackground(true);
    }

protected:
    void mouseMoveEvent(QMouseEvent* event) override {
        event->accept();
        m_form.RaiseMouseMove(*event, *this);
    }

private:
    Form& m_form;
};

Form::Form(QWidget* parent) : QWidget(parent, Qt::Window), m_client(new FormClientArea(*this)) {
    setMouseTracking(true);
    setFont(DefaultDialogFont());
    SetBackColor(m_backColor);
    LayoutClient();
}

Form::~Form() {
    if (m_modalLoop != nullptr)
        m_modalLoop->quit();
}

void Form::SetClientMargins(const QMargins& pixels) {
    m_margins = pixels;
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
    const int menu = m_menuBar != nullptr ? m_menuBar->sizeHint().height() : 0;
    resize(ToPixels(widthTwips) + m_margins.left() + m_margins.right(),
           ToPixels(heightTwips) + m_margins.top() + m_margins.bottom() + menu);
    RaiseResizeIfChanged();
}

int Form::ScaleWidth() const {
    return static_cast<int>(ToTwips(m_client->width()));
}

int Form::ScaleHeight() const {
    return static_cast<int>(ToTwips(m_client->height()));
}

void Form::SetBackColor(ColorRef colour) {
    m_backColor = colour;
    QPalette palette = m_client->palette();
    palette.setColor(QPalette::Window, ToQColor(colour));
    m_client->setPalette(palette);
    QPalette own = this->palette();
    own.setColor(QPalette::Window, ToQColor(colour));
    setPalette(own);
}

void Form::SetMousePointer(int pointer) {
    m_mousePointer = pointer;
    if (pointer == vbHourglass)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void Form::EnsureLoaded() {
    if (m_loaded)
        return;
    m_loaded = true;
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
    m_modalLoop = &loop;
    loop.exec(QEventLoop::DialogExec);
    if (!self.isNull()) {
        m_modalLoop = nullptr;
        setWindowModality(Qt::NonModal);
    }
}

bool Form::Unload() {
    m_unloadByCode = true;
    const bool closed = close();
    m_unloadByCode = false;
    return closed;
}

Menu& Form::AddMenu(const QString& name, const QString& caption) {
    if (m_menuBar == nullptr) {
        m_menuBar = new QMenuBar(this); // child of this window
        m_menuBar->show();
        LayoutClient();
    }
    QMenu* menu = m_menuBar->addMenu(caption); // owned by the menu bar
    // A separator at the top of a menu is part of the layout; Qt would hide it.
    menu->setSeparatorsCollapsible(false);
    auto* wrapper = new Menu(*menu, name, this); // owned by this window
    LayoutClient();
    return *wrapper;
}

void Form::LayoutClient() {
    int top = m_margins.top();
    if (m_menuBar != nullptr) {
        const int menuHeight = m_menuBar->sizeHint().height();
        m_menuBar->setGeometry(0, 0, width(), menuHeight);
        top += menuHeight;
    }
    m_client->setGeometry(m_margins.left(), top,
                          std::max(0, width() - m_margins.left() - m_margins.right()),
                          std::max(0, height() - top - m_margins.bottom()));
}

void Form::RaiseResizeIfChanged() {
    LayoutClient();
    // Resize follows Load: sizes set before the first show are reported when it happens.
    if (!m_loaded || size() == m_reportedSize)
        return;
    m_reportedSize = size();
    Form_Resize();
    emit ResizeRaised();
}

void Form::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    RaiseResizeIfChanged();
}

void Form::closeEvent(QCloseEvent* event) {
    const int mode = m_unloadByCode ? vbFormCode : vbFormControlMenu;
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
    if (m_modalLoop != nullptr && !isVisible())
        m_modalLoop->quit();
}

void Form::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    RaiseMouseMove(*event, *this);
}

void Form::RaiseMouseMove(const QMouseEvent& event, const QWidget& source) {
    // Client coordinates, wherever the move landed (the frame of a frameless window included).
    const QPointF local = source.mapTo(this, event.position()) - QPointF(m_client->pos());
    const MouseArgs args = MouseArgsFor(event, local);
    Form_MouseMove(args);
    emit MouseMoveRaised(args);
}

} // namespace zr::ui
