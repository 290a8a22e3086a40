// Shared set-up for console tests: a console on a RecordingComponent, and a few helpers.
#pragma once

#include "console/CameraConsoleDlg.h"
#include "control/DispatchIds.h"
#include "tests/support/RecordingComponent.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QTest>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quor::test {

template <class Console = CCameraConsoleDlg>
class BasicConsoleTest : public ::testing::Test {
protected:
    // Builds the console; `setup` scripts the component before the console's initialisation uses it.
    Console& Make(std::vector<std::string> cameras = {"Canon EOS 5D Mark III"},
                  std::function<void(RecordingComponent&)> setup = {}) {
        dlg_ = std::make_unique<Console>(
            "/opt/quortovu", RecordingFactory(&comp_, [cameras, setup](RecordingComponent& c) {
                c.SetCameras(cameras);
                if (setup)
                    setup(c);
            }));
        return *dlg_;
    }

    void TearDown() override { dlg_.reset(); }

    // Opens the selected camera through the Open camera button; OpenCamera answers true.
    void OpenCamera() {
        comp_->SetResult(dispid::OpenCamera, Variant::Bool(true));
        Click(1001);
        ASSERT_EQ(dlg_->State().cameraOpen, 1);
    }

    void Click(int id) {
        auto* button = qobject_cast<QAbstractButton*>(dlg_->GetDlgItem(id));
        ASSERT_NE(button, nullptr) << id;
        button->click();
    }

    QComboBox* Combo(int id) { return qobject_cast<QComboBox*>(dlg_->GetDlgItem(id)); }

    // Enabled state of every control, by identifier.
    std::map<int, bool> EnabledStates() const {
        std::map<int, bool> states;
        for (int id = 1000; id <= 1074; ++id)
            if (dlg_->GetDlgItem(id))
                states[id] = dlg_->IsItemEnabled(id);
        return states;
    }

    // Shows the console and makes it the active window, for tests that drive keys and focus.
    void ShowActive() {
        dlg_->show();
        dlg_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dlg_.get()));
    }

    std::unique_ptr<Console> dlg_;
    RecordingComponent* comp_ = nullptr;
};

using ConsoleTest = BasicConsoleTest<>;

} // namespace quor::test
