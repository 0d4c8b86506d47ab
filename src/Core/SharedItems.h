#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>

// Items pasted from shared text, which anyone may have written: what such an item runs as a
// command (a command line, a program given arguments) waits for the user's approval before its
// first run. Kept in config.ini, "Item/PastedItems", one entry per item by its ID (the catalogue
// never reuses one): the ID alone while it waits, else the ID and the fingerprint of what was
// approved, so that an approval does not carry over to a changed item.
namespace SharedItems {
// What an approval holds to: the item's type, path and arguments.
QString fingerprint(int type, const QString &path, const QString &arguments);
// The items just pasted wait for approval; entries of items no longer in the catalogue go.
// Whether it was stored: unstored, the items would run unasked.
bool pasted(const QVariantList &ids);
// Whether the item was pasted and what it holds now was not approved.
bool waitsForApproval(const QVariant &id, const QString &fingerprint);
// Whether it was stored; unstored, the user is asked again next time.
bool approve(const QVariant &id, const QString &fingerprint);
// The items are gone, or the user edited what they run: theirs now.
void forget(const QVariantList &ids);
} // namespace SharedItems
