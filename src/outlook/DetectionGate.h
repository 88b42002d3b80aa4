// At most one folder detection talks to Outlook at a time. A detection Outlook does not answer
// in time is given up (its worker stays blocked in COM and cannot be stopped); its late answer is
// dropped, and no second worker is started on top of a blocked one.
#pragma once

namespace wrenpost {

class DetectionGate {
public:
    enum class Request { Launch, Join, AwaitBlocked };
    enum class Answer { Apply, Drop, DropAndRelaunch };

    // A detection is wanted. Launch: start a worker and arm the deadline. Join: the running one's
    // answer serves this request too. AwaitBlocked: a given-up worker still blocks; arm the
    // deadline and relaunch when it answers.
    Request Requested();
    // The worker answered.
    Answer Answered();
    // The deadline passed. True: the caller reports that Outlook did not answer (false: nothing
    // was waiting any more).
    bool DeadlinePassed();

private:
    bool outstanding_ = false;  // a worker is out and has not answered
    bool abandoned_ = false;    // ... and was given up
    bool awaiting_ = false;     // a request waits for the given-up worker
};

}  // namespace wrenpost
