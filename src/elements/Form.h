#pragma once
// Base of the program's windows (frmMain, frmExplore): a top-level QWidget with a client area
// on which the elements are placed in twips, an optional menu bar above it, and the window
// events as overridable handlers:
//   Form_Load        once, before the window is first shown (or on EnsureLoaded)
//   Form_Resize      after every size change once loaded (the first when the window shows),
//                    also nested inside a SetWidth/SetHeight that a Form_Resize makes
//   Form_QueryUnload before any close; setting cancel to non-zero keeps the window open
//   Form_Unload      when the window closes
//   Form_MouseMove   pointer moves over the bare client area and over shapes and lines (not
//                    over labels, picture buttons, lists or drawing surfaces, which take
//                    their own mouse events); coordinates in client twips
// The form owns everything created on it (Qt parent-child ownership).

#include "Menu.h"
#include "Runtime.h"
#include "Units.h"

#include <QMargins>
#include <QWidget>

class QEventLoop;
class QMenuBar;

namespace zr::ui {

class Form : public QWidget {
    Q_OBJECT
public:
    enum UnloadMode { vbFormControlMenu = 0, vbFormCode = 1 };

    explicit Form(QWidget* parent = nullptr);
    ~Form() override;

    // The surface the elements are placed on; its origin is the layout's (0, 0).
    [[nodiscard]] QWidget* ClientArea() const { return client_; }
    // Pixels between the window's edges and the client area, beside the menu bar (a frameless
    // window that draws its own frame and caption bar sets them; by default none).
    void SetClientMargins(const QMargins& pixels);
    [[nodiscard]] QMargins ClientMargins() const { return margins_; }

    // Outer size of the window in twips (the widget's size; for a frameless window that is
    // the whole window). Setting it resizes the window and raises Form_Resize at once when
    // the size changed.
    [[nodiscard]] int Width() const;
    [[nodiscard]] int Height() const;
    void SetWidth(int twips);
    void SetHeight(int twips);
    // Resizes the window so the client area is this big (twips).
    void SetClientSize(int widthTwips, int heightTwips);
    [[nodiscard]] int ScaleWidth() const;
    [[nodiscard]] int ScaleHeight() const;

    [[nodiscard]] static double TwipsPerPixelX() { return kTwipsPerPixel; }
    [[nodiscard]] static double TwipsPerPixelY() { return kTwipsPerPixel; }

    [[nodiscard]] QString Caption() const { return windowTitle(); }
    void SetCaption(const QString& caption) { setWindowTitle(caption); }

    void SetBackColor(ColorRef colour);
    [[nodiscard]] ColorRef BackColor() const { return backColor_; }

    // vbDefault (0) or vbHourglass (11); other values show the default pointer.
    void SetMousePointer(int pointer);
    [[nodiscard]] int MousePointer() const { return mousePointer_; }

    // Raises Form_Load if it has not run yet.
    void EnsureLoaded();
    [[nodiscard]] bool Loaded() const { return loaded_; }

    // Shows the window application-modal and returns when it is hidden or closed (or
    // destroyed). Events keep flowing meanwhile (timers of other windows tick).
    void ShowModal();
    // Closes the window through Form_QueryUnload (mode vbFormCode) and Form_Unload.
    // Returns false when a handler cancelled.
    bool Unload();

    // A new menu at the end of the menu bar, which is created on first use.
    Menu& AddMenu(const QString& name, const QString& caption);
    [[nodiscard]] QMenuBar* MenuBar() const { return menuBar_; }

    void setVisible(bool visible) override;

signals:
    // Raised after the corresponding handler, for observers.
    void LoadRaised();
    void ResizeRaised();
    void MouseMoveRaised(const zr::ui::MouseArgs& args);

protected:
    virtual void Form_Load() {}
    virtual void Form_Resize() {}
    virtual void Form_QueryUnload(int& cancel, int unloadMode) {
        (void)cancel;
        (void)unloadMode;
    }
    virtual void Form_Unload(int& cancel) { (void)cancel; }
    virtual void Form_MouseMove(const MouseArgs& args) { (void)args; }

    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    friend class FormClientArea;
    void LayoutClient();
    void RaiseResizeIfChanged();
    void RaiseMouseMove(const QMouseEvent& event, const QWidget& source);

    QWidget* client_;             // child, owned by this widget
    QMenuBar* menuBar_ = nullptr; // child, owned by this widget
    QMargins margins_;
    ColorRef backColor_ = SystemColor(15);
    int mousePointer_ = vbDefault;
    bool loaded_ = false;
    bool unloadByCode_ = false;
    QSize reportedSize_{-1, -1};
    QEventLoop* modalLoop_ = nullptr; // the running ShowModal loop
};

} // namespace zr::ui
