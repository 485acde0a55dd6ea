#pragma once
// A list box that keeps its entries sorted, case-insensitively (the browser's hidden working
// list). Entries that compare equal ignoring case are ordered case-sensitively, then by
// insertion. Usually hidden; when shown it draws its entries one per line.

#include "Element.h"

#include <vector>

namespace zr::ui {

class ListBox : public Element {
    Q_OBJECT
public:
    explicit ListBox(QWidget* parent);

    void AddItem(const QString& text);
    // Entry i, 0-based; empty for an index outside 0..ListCount()-1.
    [[nodiscard]] QString List(int index) const;
    [[nodiscard]] int ListCount() const { return static_cast<int>(items_.size()); }
    void Clear();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    std::vector<QString> items_;
};

} // namespace zr::ui
