#include "protocol/ReplyCodes.h"

#include "core/CoreServices.h"
#include "core/SharedText.h"

namespace {

constexpr StatusLine kKeep = StatusLine::Keep;
constexpr StatusLine kPlease = StatusLine::PleaseLogin;
constexpr NextRequest kNone = NextRequest::None;
constexpr int kInfo = CoreServices::Information;

// Nothing at all: the code means nothing to that screen.
constexpr LoginReaction kIgnored{false, kKeep, false, false, false, false, kNone};
// The box, then "Please login.....".
constexpr LoginReaction kBoxThenPlease{true, kPlease, false, false, false, false, kNone};
// The box, then "Please login....." and the fields usable again.
constexpr LoginReaction kBoxPleaseEnable{true, kPlease, false, false, true, false, kNone};
// The box, then "Please login....." and empty fields, usable again: nothing typed there can succeed.
constexpr LoginReaction kBoxPleaseClearEnable{true, kPlease, false, true, true, false, kNone};

// One row per code. Columns per screen:
//   login window   {box, line, line before the box, clear fields, enable fields, clear password, next request}
//   token screen   {box, step}
const ReplyReaction kReactions[] = {
    {ReplyCode::UnableToProcess, &SharedText::msgServerUnableToProcess, kInfo,
     /*status*/ {true, kKeep, false, false, false, false, kNone},
     /*registration*/ kBoxThenPlease,
     /*token*/ {true, TokenStep::Stay}},
    {ReplyCode::InvalidCredentials, &SharedText::msgInvalidCredentials, kInfo,
     // The line changes before the box: the user reads "Please login....." behind it.
     /*status*/ {true, kPlease, true, false, true, false, kNone},
     /*registration*/ {true, kKeep, false, false, false, false, kNone},
     // The token screen says nothing: Sync is usable again.
     /*token*/ {false, TokenStep::Stay}},
    {ReplyCode::NoSuchCredentials, &SharedText::msgNoSuchCredentials, kInfo,
     /*status*/ kBoxPleaseClearEnable,
     /*registration*/ {true, kPlease, false, true, false, false, kNone},
     /*token*/ {true, TokenStep::Stay}},
    {ReplyCode::DeviceInfoMissing, &SharedText::msgDeviceInfoMissing, kInfo,
     /*status*/ kBoxPleaseEnable,
     /*registration*/ kBoxThenPlease,
     /*token*/ {true, TokenStep::Stay}},
    {ReplyCode::DeviceOtherUser, &SharedText::msgDeviceOtherUser, kInfo,
     /*status*/ kBoxPleaseEnable,
     /*registration*/ kBoxThenPlease,
     /*token*/ {true, TokenStep::Stay}},
    {ReplyCode::RegistrationLimit, &SharedText::msgRegistrationLimit, kInfo,
     /*status*/ kBoxPleaseClearEnable,
     /*registration*/ kBoxThenPlease,
     /*token*/ {true, TokenStep::Stay}},
    {ReplyCode::AccountLocked, &SharedText::msgAccountLocked, kInfo,
     /*status*/ {true, StatusLine::TryLater, false, false, true, true, kNone},
     /*registration*/ {true, StatusLine::TryLaterLong, false, false, false, true, kNone},
     /*token*/ {true, TokenStep::SignOutTryLater}},
    {ReplyCode::Authorised, nullptr, kInfo,
     /*status*/ {false, kKeep, false, false, false, false, NextRequest::Authenticate},
     /*registration*/ {false, kKeep, false, false, false, false, NextRequest::Authenticate},
     /*token*/ {false, TokenStep::Sync}},
    {ReplyCode::NotRegistered, &SharedText::msgRegistrationChanged, kInfo,
     // The login window registers the device; the token screen's registration is gone, so it signs out.
     /*status*/ {false, kPlease, false, false, false, false, NextRequest::Register},
     /*registration*/ {false, kPlease, false, false, false, false, kNone},
     /*token*/ {true, TokenStep::SignOut}},
    {ReplyCode::Registered, nullptr, kInfo,
     /*status*/ kIgnored,
     /*registration*/ {false, kPlease, false, false, false, false, NextRequest::Authenticate},
     /*token*/ {false, TokenStep::Stay}},
    {ReplyCode::RegistrationSubmitted, &SharedText::msgRegistrationSubmitted, kInfo,
     /*status*/ kBoxThenPlease,
     /*registration*/ kIgnored,
     /*token*/ {true, TokenStep::Stay}},
    {ReplyCode::RegistrationRejected, &SharedText::msgRegistrationRejected, kInfo,
     /*status*/ kBoxThenPlease,
     /*registration*/ kIgnored,
     /*token*/ {true, TokenStep::Stay}},
    {ReplyCode::DeviceLocked, &SharedText::msgDeviceLocked, CoreServices::Critical,
     /*status*/ kBoxThenPlease,
     /*registration*/ kIgnored,
     /*token*/ {true, TokenStep::Stay}},
};

} // namespace

namespace ReplyCodes {

const ReplyReaction* reactionTo(int code)
{
    for (const ReplyReaction& row : kReactions) {
        if (static_cast<int>(row.code) == code) {
            return &row;
        }
    }
    return nullptr;
}

QString statusLineText(StatusLine line)
{
    switch (line) {
    case StatusLine::Keep:
        break;
    case StatusLine::PleaseLogin:
        return QStringLiteral("Please login.....");
    case StatusLine::TryLater:
        return QStringLiteral("Try After Some time...");
    case StatusLine::TryLaterLong:
        return QStringLiteral("Try After Some time....");
    }
    return QString();
}

} // namespace ReplyCodes
