#pragma once

#include <QString>

// One protected resource the user may open, with the key its token codes are computed from. tokenKey may also be
// one of the sentinels "-1" (token expired) and "-2" (registration expired).
struct ResourceRecord {
    QString resourceName;
    // The user's account name for the resource; may contain "@".
    QString userName;
    QString groupName;
    QString tokenKey;

    friend bool operator==(const ResourceRecord& a, const ResourceRecord& b)
    {
        return a.resourceName == b.resourceName && a.userName == b.userName && a.groupName == b.groupName &&
               a.tokenKey == b.tokenKey;
    }
    friend bool operator!=(const ResourceRecord& a, const ResourceRecord& b) { return !(a == b); }
};
