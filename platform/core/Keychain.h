#pragma once
// A keychain of generic-password items kept on disk: one file per item under
// <dataHome>/keychain, mode 0600 in a 0700 folder, each written atomically. An item is named by
// its class, service and account; it holds its attributes and its secret data.
//
// Queries are dictionaries with the keys below, as on the mobile platform's keychain. Results are
// status codes: kSuccess, kItemNotFound, kDuplicateItem, kParam (a bad query), kIO (the disk).
// An item file that cannot be read or understood is never deleted: it is moved aside into a
// numbered slot ("<file>.corrupt.1", the last three kept), logged, and counts as absent. Every
// write is a new file renamed over the old one, so a failed write leaves the old item whole.

#include "platform/core/Error.h"
#include "platform/core/Value.h"

#include <optional>
#include <string>

namespace core::keychain {

// Query keys and values.
inline constexpr const char* kClass = "class";
inline constexpr const char* kClassGenericPassword = "genp";
inline constexpr const char* kAttrService = "svce";
inline constexpr const char* kAttrAccount = "acct";
inline constexpr const char* kAttrAccessible = "pdmn";
inline constexpr const char* kAccessibleAfterFirstUnlock = "ck";
inline constexpr const char* kValueData = "v_Data";
inline constexpr const char* kReturnData = "r_Data";
inline constexpr const char* kMatchLimit = "m_Limit";
inline constexpr const char* kMatchLimitOne = "m_LimitOne";

enum Status : int {
    kSuccess = 0,
    kParam = -50,
    kIO = -36,
    kDuplicateItem = -25299,
    kItemNotFound = -25300,
};

// Adds the item described by `attributes`, whose kValueData member holds the secret bytes.
Status add(const Dictionary& attributes);
// Finds the item the query names; with kReturnData true, `data` receives its secret bytes.
Status copyMatching(const Dictionary& query, Bytes* data);
Status remove(const Dictionary& query);
// Replaces the secret data (kValueData) and accessibility of the item the query names.
Status update(const Dictionary& query, const Dictionary& attributesToUpdate);
// Moves the item the query names aside as above, for a caller that found its data unusable;
// gives the path it is kept at.
Expected<std::string> moveAside(const Dictionary& query);

// The folder of the item files for the current HOME.
std::string folder();

} // namespace core::keychain
