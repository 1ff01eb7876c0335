#pragma once

#include <QApplication>
#include <QTimer>

#include <functional>

namespace brio::test {

// Runs `drive` on the first modal dialog of type D that opens, from inside the dialog's own event loop,
// as a person would act on it.
template <typename D> class WhenModal {
public:
    explicit WhenModal(std::function<void(D*)> drive) : drive_(std::move(drive)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget())) {
                timer_.stop();
                ran_ = true;
                drive_(dialog);
            }
        });
        timer_.start();
    }
    bool ran() const noexcept { return ran_; }

private:
    std::function<void(D*)> drive_;
    QTimer timer_;
    bool ran_ = false;
};

} // namespace brio::test
