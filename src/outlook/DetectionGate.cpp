#include "outlook/DetectionGate.h"

namespace wrenpost {

DetectionGate::Request DetectionGate::Requested() {
    if (!outstanding_) {
        outstanding_ = true;
        abandoned_ = false;
        return Request::Launch;
    }
    if (!abandoned_) {
        return Request::Join;
    }
    awaiting_ = true;
    return Request::AwaitBlocked;
}

DetectionGate::Answer DetectionGate::Answered() {
    outstanding_ = false;
    if (!abandoned_) {
        return Answer::Apply;
    }
    abandoned_ = false;
    const bool relaunch = awaiting_;
    awaiting_ = false;
    return relaunch ? Answer::DropAndRelaunch : Answer::Drop;
}

bool DetectionGate::DeadlinePassed() {
    if (outstanding_ && !abandoned_) {
        abandoned_ = true;
        return true;
    }
    const bool waited = awaiting_;
    awaiting_ = false;
    return waited;
}

}  // namespace wrenpost
