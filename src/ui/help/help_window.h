#pragma once
// The program's own help: one page about setting up schemes, writing an expression, the judging modes, the
// alerts and what the tree says of each scheme. It is built into the program and links nowhere outside it.

#include <QString>

class QWidget;

namespace qw::ui {

// Sections of the help page, as anchors.
inline QString HelpStart() { return QStringLiteral("start"); }
inline QString HelpExpressions() { return QStringLiteral("expressions"); }

// The link a hint or page uses for the help at a section: "help:" followed by the anchor.
QString HelpLink(const QString& section);
// The section a help link names, or nothing (an empty text) for any other link.
QString HelpSectionOf(const QString& link);

// The whole page, HTML.
QString HelpPage();

// Shows the help window beside parent, scrolled to the section; one window per parent, raised when open.
void ShowHelp(QWidget* parent, const QString& section);

}  // namespace qw::ui
