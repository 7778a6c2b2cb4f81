// Where the join engine writes its progress and its faults, one line at a time: the join
// window's command list shows them, the command line prints them on stderr.
#pragma once

#include <QString>

class JoinLog {
public:
    virtual ~JoinLog() = default;
    virtual void addLine(const QString &line) = 0;
};
