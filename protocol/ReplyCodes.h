#pragma once

#include <QString>

struct SharedText;

// The result codes of the status and registration replies, and what each one makes the screens do. The login
// window reads both replies, the token screen reads the status reply of a sync; where they react differently to a
// code, its row says so per screen.
enum class ReplyCode {
    UnableToProcess = -1,
    InvalidCredentials = 1,
    NoSuchCredentials = 2,
    DeviceInfoMissing = 3,
    DeviceOtherUser = 4,
    RegistrationLimit = 5,
    AccountLocked = 6,
    Authorised = 10,
    NotRegistered = 11,
    Registered = 12,
    RegistrationSubmitted = 20,
    RegistrationRejected = 21,
    DeviceLocked = 22,
};

// What the login window's status line shows after a reply.
enum class StatusLine { Keep, PleaseLogin, TryLater, TryLaterLong };

// The request the login window sends next.
enum class NextRequest { None, Authenticate, Register };

// The login window's reaction, in the order of its effects: the line (before the box when lineFirst), the box, the
// line, the fields cleared, the fields enabled, the password cleared, the next request.
struct LoginReaction {
    bool box;
    StatusLine line;
    bool lineFirst;
    bool clearFields;
    bool enableLogin;
    bool clearPassword;
    NextRequest next;
};

// What the token screen does after the box.
enum class TokenStep { Stay, Sync, SignOut, SignOutTryLater };

struct TokenReaction {
    bool box;
    TokenStep step;
};

struct ReplyReaction {
    ReplyCode code;
    // The box's text, and its kind (CoreServices::MessageKind).
    QString SharedText::*message;
    int boxKind;
    LoginReaction onStatus;
    LoginReaction onRegistration;
    TokenReaction onTokenStatus;
};

namespace ReplyCodes {

// The row of `code`; nullptr for a code no screen reacts to.
const ReplyReaction* reactionTo(int code);

// The text `line` puts into the login window's status line (empty for Keep).
QString statusLineText(StatusLine line);

} // namespace ReplyCodes
