#pragma once
// A shown player window on the offscreen platform, with fresh player state, and lookup of its
// elements by their layout names ("imgControl(3)", "lblArtistA").

#include "WindowDriving.h"
#include "frmMain.h"

#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

class PlayerWindowTest : public zr::test::ShownPlayerTest {
protected:
    // The element called `name` with an optional "(index)", or nullptr.
    [[nodiscard]] zr::ui::Element* Find(const QString& name) const {
        static const QRegularExpression pattern(QStringLiteral(R"(^(\w+)(?:\((\d+)\))?$)"));
        const auto match = pattern.match(name);
        if (!match.hasMatch())
            return nullptr;
        const QString base = match.captured(1);
        const int index = match.captured(2).isEmpty() ? -1 : match.captured(2).toInt();
        for (auto* element :
             window->ClientArea()->findChildren<zr::ui::Element*>(Qt::FindDirectChildrenOnly)) {
            if (element->Name() == base && element->Index() == index)
                return element;
        }
        return nullptr;
    }

    // Where an element sits, in pixels of the window's outer rectangle.
    [[nodiscard]] QRect InWindow(const QWidget& element) const {
        return {element.mapTo(window.get(), QPoint(0, 0)), element.size()};
    }
};
