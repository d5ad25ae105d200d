// Message boxes answered through the seam from a queue, their texts
// recorded; with the queue empty a box gets OK, or No to a yes/no question
// when the test asks for that.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "bMsgBox.h"

struct QueuedBoxes {
    static std::vector<std::string>& Texts() {
        static std::vector<std::string> t;
        return t;
    }
    static std::vector<int>& Answers() {
        static std::vector<int> a;
        return a;
    }
    static bool& NoToQuestions() {
        static bool no = false;
        return no;
    }
    static int Handler(HWND, const char* text, const char*, UINT type) {
        Texts().push_back(text ? text : "");
        if (Answers().empty())
            return NoToQuestions() && (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
        int a = Answers().front();
        Answers().erase(Answers().begin());
        return a;
    }
    PFNMESSAGEBOXHANDLER old;
    explicit QueuedBoxes(std::vector<int> answers = {}, bool noToQuestions = false) {
        Texts().clear();
        Answers() = answers;
        NoToQuestions() = noToQuestions;
        old = SetMessageBoxHandler(Handler);
    }
    ~QueuedBoxes() { SetMessageBoxHandler(old); }
    QueuedBoxes(const QueuedBoxes&) = delete;
    QueuedBoxes& operator=(const QueuedBoxes&) = delete;
};
