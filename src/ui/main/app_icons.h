#pragma once
// The program's own pictures, drawn at start so that no image file can go missing: the program icon, the
// tree's two item icons, the picture buttons' icons and the two faces of the mini-homepage switch.

#include <QIcon>

namespace qw::ui {

// The program icon, window and tray, from 16 to 256 pixels.
QIcon NormalIcon();
// The tray icon while new articles wait for the user: one 16 x 16 image.
QIcon AlertIcon();

QIcon CategoryIcon();  // tree level 1
QIcon SchemeIcon();    // tree level 2
// A scheme whose checks keep failing: its icon with a warning sign.
QIcon FailingSchemeIcon();

QIcon AllArticlesIcon();
QIcon FavouritesIcon();
QIcon SettingsIcon();
QIcon CollectAllIcon();

// The switch, with its "on" face for the checked state and its "off" face otherwise.
QIcon SwitchIcon();

}  // namespace qw::ui
