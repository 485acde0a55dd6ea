#pragma once
// Several elements under one name, told apart by a 16-bit index (gaps allowed). One handler
// per event serves the whole array and receives the index of the element that raised it.
// The array does not own its elements: their parent widget does. It only refers to them.

#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

namespace zr::ui {

template <typename T> class ControlArray {
public:
    explicit ControlArray(QString name = {}) : name_(std::move(name)) {}
    ControlArray(const ControlArray&) = delete;
    ControlArray& operator=(const ControlArray&) = delete;

    // Creates element `index` as a child of `parent` (which owns it), names it after the array,
    // sets its Index() and connects the handlers registered so far. An existing element with
    // that index is replaced in the array (the old widget stays with its parent).
    template <typename... Args> T& Create(std::int16_t index, QWidget* parent, Args&&... args) {
        auto* element = new T(parent, std::forward<Args>(args)...); // owned by parent
        return Adopt(index, element);
    }

    // Adds an element created elsewhere (owned by its parent).
    T& Adopt(std::int16_t index, T* element) {
        if (element == nullptr)
            throw std::invalid_argument("ControlArray::Adopt: null element");
        element->SetIndex(index);
        if (!name_.isEmpty())
            element->SetName(name_);
        elements_[index] = element;
        for (const auto& connect : connectors_)
            connect(*element, index);
        return *element;
    }

    // Element i; throws std::out_of_range when there is none (or it was destroyed).
    [[nodiscard]] T& operator()(std::int16_t index) const {
        auto it = elements_.find(index);
        if (it == elements_.end() || it->second.isNull())
            throw std::out_of_range("ControlArray: no element with this index");
        return *it->second;
    }
    [[nodiscard]] T* Find(std::int16_t index) const {
        auto it = elements_.find(index);
        return it == elements_.end() ? nullptr : it->second.data();
    }
    [[nodiscard]] bool Contains(std::int16_t index) const { return Find(index) != nullptr; }
    [[nodiscard]] int Count() const { return static_cast<int>(Indexes().size()); }
    // Indexes of the live elements, ascending.
    [[nodiscard]] std::vector<std::int16_t> Indexes() const {
        std::vector<std::int16_t> out;
        for (const auto& [index, element] : elements_)
            if (!element.isNull())
                out.push_back(index);
        return out;
    }
    [[nodiscard]] const QString& Name() const { return name_; }

    // Connects `handler(index, args...)` to `signal` of every element, present and future.
    // Example: lights.On(&PictureButton::Click, [this](std::int16_t i) { imgControl_Click(i); });
    // The signal may be declared on a base class of T (Click lives on MouseElement).
    template <typename Base, typename... SignalArgs, typename Handler>
    requires std::is_base_of_v<Base, T>
    void On(void (Base::*signal)(SignalArgs...), Handler handler) {
        auto connect = [signal, handler](T& element, std::int16_t index) {
            QObject::connect(&element, signal, &element,
                             [handler, index](SignalArgs... args) { handler(index, args...); });
        };
        for (const auto& [index, element] : elements_)
            if (!element.isNull())
                connect(*element, index);
        connectors_.push_back(std::move(connect));
    }

private:
    QString name_;
    std::map<std::int16_t, QPointer<T>> elements_;
    std::vector<std::function<void(T&, std::int16_t)>> connectors_;
};

} // namespace zr::ui
