#pragma once
// The check digit of an RFC: its last character, computed from the others by modulo 11 over
// the alphabet 0-9, A-N, &, O-Z, blank, Ñ (values 0 to 38, in that order). The characters
// before it are weighted 13 down to 2; a company's 12-character RFC is read with a blank in
// front, so that it too has twelve characters before its check digit. The digit is 11 minus
// the remainder of the sum, "0" when the remainder is 0 and "A" when it is 1.

#include <QChar>
#include <QString>

namespace kalto {

// The check digit `rfc` should end with (blanks around it and letter case ignored); a null
// QChar when it is not 12 or 13 characters long or holds a character outside the alphabet.
QChar rfcCheckDigit(const QString& rfc);

// The RFCs the authority gives parties without one of their own (XAXX010101000 for the
// public at large, XEXX010101000 for foreign parties): they carry no check digit.
bool isGenericRfc(const QString& rfc);

// Whether `rfc` should be reported for its check digit: true when it is 12 or 13 characters
// long, not generic, and its last character is not the one computed (null when none can be:
// a character outside the alphabet). An empty RFC, one of another length (which the RFC
// check refuses) and a generic one are never reported. `expected` receives the computed digit.
bool rfcCheckDigitMismatch(const QString& rfc, QChar* expected = nullptr);

}  // namespace kalto
