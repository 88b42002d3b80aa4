#include "playground/TourHands_win.h"

#include "playground/KeyboardHands_win.h"

namespace wrenpost::testing {
namespace {

// Messages posted to the controls, as the driver has always worked.
class MouseHands final : public TourHands {
public:
    explicit MouseHands(const RunningProgram& program) : p_(program) {}
    bool Fill(int id, const std::wstring& text) override {
        p_.Type(id, text.c_str());
        return p_.WaitForText(id, text);
    }
    bool Press(int id) override {
        p_.Click(id);
        return true;
    }
    bool TickFirstFolder() override { return p_.TickFirstFolder(); }
    bool Confirm(const wchar_t* title) override { return p_.PressOk(title); }

private:
    const RunningProgram& p_;
};

}  // namespace

std::unique_ptr<TourHands> MakeTourHands(const RunningProgram& program, TourInput input) {
    if (input == TourInput::Keyboard) {
        return std::make_unique<KeyboardHands>(program);
    }
    return std::make_unique<MouseHands>(program);
}

}  // namespace wrenpost::testing
