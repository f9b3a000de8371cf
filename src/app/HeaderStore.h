#pragma once
// The header texts bound to imdint between the keyboard and the table: what the user has
// typed and not stored yet, and the order in which it is stored. A field is stored when the
// user leaves it (the RFC checked first), and every field still pending before a save, a
// clear, a change of procedure or modality, or closing. A text the table cannot hold is
// reported with the field's caption as the user sees it, and stays pending (on screen,
// never in the table) for the user to correct.

#include "app/RequestRules.h"

#include <QString>

#include <array>
#include <optional>

namespace kalto {

class Messages;

class HeaderStore {
public:
    HeaderStore(RequestRules& rules, Messages& messages);

    // The field as the user knows it: its label, or its tooltip where it has no label.
    static QString caption(HeaderField field);

    // The user changed the text of `field` (typed, pasted, or corrected by a check).
    void edit(HeaderField field, const QString& text);
    bool isPending(HeaderField field) const { return pending_[index(field)].has_value(); }
    // What the field shows: the pending text, else the one stored.
    QString text(HeaderField field) const;
    // Clearing: nothing typed is kept; a field the rules emptied and disabled likewise.
    void discardPending() { pending_.fill(std::nullopt); }
    void discard(HeaderField field) { pending_[index(field)].reset(); }

    // Leaving the RFC field: VerificaRFC (kind 1) on the text it shows; a value the check
    // changed (the leading blank) or emptied (after its message) becomes pending.
    void checkRfc(const QString& shown);
    // Stores the pending text of `field`. False after a message naming the field; the text
    // then stays pending.
    bool store(HeaderField field);
    // The pending RFC checked, then every pending field stored in order (each is tried).
    // False when one could not be stored.
    bool storeAll();

    // "No se pudo guardar el dato <caption>: <reason>".
    static const QString kMsgNotStored;

private:
    static int index(HeaderField field) { return static_cast<int>(field); }
    // Why the imdint column cannot hold `text` (empty when it can): a character outside
    // Windows-1252, or more characters than the column's width in the file.
    QString refusal(HeaderField field, const QString& text) const;

    RequestRules& rules_;
    Messages& messages_;
    std::array<std::optional<QString>, std::size(kHeaderFields)> pending_;
};

}  // namespace kalto
