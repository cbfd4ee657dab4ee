// Every text of every screen, pop-up and panel fits its frame: the program
// is started on the simulated unit and each screen opened as a user opens it
// (the main window with every module and every type's knobs, the EXP screen
// with every module's parameters, the system screen, the rename popover, the
// library and the lists' menus, the firmware update window in its states,
// the loading pop-up, the confirm panels and the tips). Every label and
// button found is measured with the font it draws with, in the box it draws
// in; a text that is elided, wrapped in a one-line frame, broken inside a
// word, taller than its frame or wider than it is reported with its text and
// frame. The module bar's titles, drawn in its pictures, are measured by
// their ink. At the window's first size, the knobs of each module's type with
// the most knobs are in sight or the grid shows its scroller. Pictures of the
// screens are saved as fit-*.png in the build folder.
#include <gtest/gtest.h>

#include <QFile>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QWidget>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <fstream>
#include <sstream>

#include "controls/GGCoustomButton.h"
#include "controls/GGFunctionButton.h"
#include "controls/GGPopView.h"
#include "controls/NSPopNormalView.h"
#include "controls/SettingResetView.h"
#include "controls/StartLoadingView.h"
#include "platform/ui/Button.h"
#include "platform/ui/Font.h"
#include "platform/ui/Popover.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextLayout.h"
#include "screens/MainWindowDriver.h"
#include "screens/editor/EffectViewListCell.h"
#include "screens/editor/GGEffectParmaView.h"
#include "screens/exp/ExpViewController.h"
#include "screens/presets/LocalPresetView.h"
#include "screens/presets/RenameViewController.h"
#include "screens/shell/MainLayout.h"
#include "screens/shell/UpdateWindowController.h"
#include "sim/bootloader/SimBootloader.h"
#include "sim/bootloader/TestFirmwareImage.h"

using namespace flow_test;
namespace fs = std::filesystem;

namespace {

struct Offender {
  std::string where, text, why;
  ui::Rect box;
  std::string font;
};

std::string rectText(const ui::Rect& r) {
  char text[96];
  std::snprintf(text, sizeof text, "{%.1f, %.1f, %.1f x %.1f}", r.minX(), r.minY(), r.width(), r.height());
  return text;
}

std::vector<std::string> split(const std::string& text, char by) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, by)) parts.push_back(part);
  if (!text.empty() && text.back() == by) parts.emplace_back();
  return parts;
}

// Collects what does not fit, once per place, text and box.
class FitCheck {
public:
  std::vector<Offender> offenders;
  int measured = 0;

  // A text drawn in `font` from the top of `box` (in a view whose height is
  // `height`), wrapping at the box's width when `wraps`. The lines are the
  // layout engine's own, as drawing makes them.
  void text(const std::string& where, const std::string& s, const ui::Font& font, const ui::Rect& box, bool wraps,
            double height) {
    if (s.find_first_not_of(' ') == std::string::npos) return;
    ++measured;
    const double line = font.lineHeight();
    const auto paragraphs = split(s, '\n');
    const double oneLineEach = static_cast<double>(paragraphs.size()) * line;
    const double room = height - box.minY();
    if (!wraps) {
      for (const auto& p : paragraphs)
        if (font.widthOfString(p) > box.width() + 0.01)
          return report(where, s, font, box, "elided: needs " + number(font.widthOfString(p)) + " wide");
    } else if (const double needed = ui::TextLayout::usedHeight(s, font, box.width()); needed > oneLineEach + 0.5) {
      // Wrapped: only in a frame made for several lines, between words, and
      // with room for every line.
      for (const auto& p : paragraphs)
        for (const auto& word : split(p, ' '))
          if (ui::TextLayout::usedHeight(word, font, box.width()) > line + 0.5)
            return report(where, s, font, box, "broken inside the word \"" + word + "\"");
      if (room < 2 * line) return report(where, s, font, box, "wrapped in a one-line frame");
      if (needed > room + 1) return report(where, s, font, box, "elided: needs " + number(needed) + " high");
      return;
    }
    // The ink of the last line below its baseline must stay in the view.
    const QFontMetricsF metrics(font.toQFont());
    const double baseline = box.minY() + static_cast<double>(paragraphs.size() - 1) * line + metrics.ascent();
    const double bottom = baseline + metrics.tightBoundingRect(QString::fromStdString(paragraphs.back())).bottom();
    if (bottom > height + 0.5) report(where, s, font, box, "cut off at the bottom: its ink reaches " + number(bottom));
  }

  // Every label and button shown under `view`.
  void walk(const ui::View& view, const std::string& where) {
    if (view.isHiddenOrHasHiddenAncestor()) return;
    const std::string here = where + " > " + view.className();
    if (const auto* field = dynamic_cast<const ui::TextField*>(&view)) {
      std::string s = field->stringValue();
      if (const QLineEdit* editor = field->fieldEditor()) {
        // Being edited: the line editor shows the text, or the placeholder.
        s = editor->text().toStdString();
        if (s.empty() && !field->placeholderString().empty()) {
          s = editor->placeholderText().toStdString();
          if (s.empty()) report(here, field->placeholderString(), field->font(), field->bounds(), "placeholder not shown while editing");
        }
      } else if (s.empty()) {
        s = field->placeholderString();
      }
      const auto mode = field->lineBreakMode();
      const bool wraps = mode == ui::LineBreakMode::WordWrapping || mode == ui::LineBreakMode::CharWrapping;
      text(here, s, field->font(), field->textFieldCell().titleRectForBounds(field->bounds()), wraps,
           field->bounds().height());
    } else if (const auto* button = dynamic_cast<const ui::Button*>(&view)) {
      const ui::AttributedString title = button->attributedTitle();
      const ui::ButtonCell& cell = button->buttonCell();
      const ui::Rect frame = button->bounds();
      ui::Rect box = frame.insetBy(cell.isBordered() ? 6 : 0, 0);
      if (button->image()) {
        const double side = std::min(frame.height(), frame.width() / 2);
        box = ui::Rect(frame.minX() + 4 + side, frame.minY(), frame.width() - side - 6, frame.height());
      }
      const auto mode = title.paragraphStyle.lineBreakMode;
      // The title's line is centred in the button.
      const double lineHeight = title.font.lineHeight();
      box = ui::Rect(box.minX(), (frame.height() - lineHeight) / 2, box.width(), lineHeight);
      text(here, title.string, title.font, box,
           mode == ui::LineBreakMode::WordWrapping || mode == ui::LineBreakMode::CharWrapping, frame.height());
    } else if (const auto* module = dynamic_cast<const GGFunctionButton*>(&view)) {
      for (const auto& image : {module->defaultImage, module->offImage})
        if (image && pictures_.insert(image->name()).second) pictureTexts(here + " " + image->name(), image->name());
    } else if (const auto* drawn = dynamic_cast<const GGCoustomButton*>(&view)) {
      // The title is laid out across the button, at the height it is given.
      const GGCoustomButton::Look look = drawn->currentLook();
      const ui::Rect title = drawn->titleRect();
      text(here, look.title, look.font, ui::Rect(0, title.minY(), drawn->bounds().width(), title.height()), true,
           drawn->bounds().height());
    }
    for (const auto& sub : view.subviews()) walk(*sub, here);
  }

  // A picture that draws its own title (the module bar's): the picture is
  // drawn with and without its texts, and the pixels that differ, the texts'
  // ink, must lie inside the button the picture draws (its first rectangle,
  // less its stroke). The texts must ask for the program's font: another
  // name is whatever the machine's fontconfig makes of it.
  void pictureTexts(const std::string& where, const std::string& name) {
    QByteArray svg;
    for (const fs::path& dir : ui::Image::searchDirectories())
      if (QFile file(QString::fromStdString((dir / (name + ".svg")).string())); file.open(QIODevice::ReadOnly)) {
        svg = file.readAll();
        break;
      }
    if (svg.isEmpty()) return add(where, name, {}, "", "no SVG picture found");
    ui::Rect button;
    std::string texts;
    const QString ours = QFontInfo(ui::Font::systemFontOfSize(13).toQFont()).family();
    for (QXmlStreamReader xml(svg); !xml.atEnd();) {
      if (xml.readNext() != QXmlStreamReader::StartElement) continue;
      const auto attribute = [&](const char* key) { return xml.attributes().value(key).toDouble(); };
      if (xml.name() == u"rect" && button.isEmpty()) {
        const double stroke = attribute("stroke-width");
        button = ui::Rect(attribute("x"), attribute("y"), attribute("width"), attribute("height"))
                     .insetBy(stroke / 2, stroke / 2);
      } else if (xml.name() == u"text") {
        const QString family = xml.attributes().value("font-family").toString();
        const std::string text = xml.readElementText().toStdString();
        texts += text;
        ++measured;
        if (const QString drawn = QFontInfo(QFont(family)).family(); drawn != ours)
          add(where, text, {}, family.toStdString(),
              "drawn in " + drawn.toStdString() + ", not the program's font " + ours.toStdString());
      }
    }
    if (texts.empty()) return;
    // The ink, at four pixels a unit.
    QSvgRenderer with(svg);
    QSvgRenderer without(QString::fromUtf8(svg).remove(QRegularExpression("<text[^>]*>[^<]*</text>")).toUtf8());
    const QSize size = (with.defaultSize() * 4);
    QImage a(size, QImage::Format_ARGB32_Premultiplied), b(size, QImage::Format_ARGB32_Premultiplied);
    for (auto [image, renderer] : {std::pair{&a, &with}, std::pair{&b, &without}}) {
      image->fill(Qt::transparent);
      QPainter painter(image);
      renderer->render(&painter);
    }
    ui::Rect ink = ui::Rect::null();
    for (int y = 0; y < size.height(); ++y)
      for (int x = 0; x < size.width(); ++x)
        if (a.pixel(x, y) != b.pixel(x, y)) ink = ink.unionWith(ui::Rect(x / 4.0, y / 4.0, 0.25, 0.25));
    if (ink.isNull()) return add(where, texts, button, "", "its text draws nothing");
    if (!button.contains(ink))
      add(where, texts, button, "", "its ink " + rectText(ink) + " is not inside the button it draws");
  }

  std::string report() const {
    std::string out;
    for (const auto& o : offenders)
      out += "\n  \"" + o.text + "\" in " + rectText(o.box) + " (" + o.font + "): " + o.why + "\n    at " + o.where;
    return out;
  }

  void report(const std::string& where, const std::string& s, const ui::Font& font, const ui::Rect& box,
              const std::string& why) {
    add(where, s, box, font.familyName() + " " + number(font.pointSize()), why);
  }
  void add(const std::string& where, const std::string& s, const ui::Rect& box, const std::string& font,
           const std::string& why) {
    const std::string key = where + "|" + s + "|" + rectText(box);
    if (!seen_.insert(key).second) return;
    offenders.push_back({where, s, why, box, font});
  }

private:
  static std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
  }
  std::set<std::string> seen_;
  std::set<std::string> pictures_;
};

void picture(ui::Window& window, const std::string& name) {
  window.layoutIfNeeded();
  flushMainQueue();
  const QImage image = window.widget()->grab().toImage();
  ASSERT_FALSE(image.isNull());
  EXPECT_TRUE(image.save(QString::fromStdString((fs::path(QV450_RESOURCES_DIR).parent_path() / name).string())));
}

// The knob cells of every parameter of every type of the module shown, with
// their values at both ends and at every choice.
void checkEveryKnob(FitCheck& fit, EffectDataView& editor, const std::string& module) {
  auto cell = GGEffectParmaView::createView();
  for (const auto& type : editor.moduleTypeViewModel->models()) {
    for (const auto& item : type->effects()) {
      const std::string where = module + " " + type->nickName + " " + item->typeName;
      cell->setItemModel(item);
      auto knob = cell->cirSlider.lock();
      std::vector<double> values{0, knob->maxValue()};
      if (item->hasChoices())
        for (size_t i = 1; i + 1 < item->item->size(); ++i) values.push_back(static_cast<double>(i));
      for (double v : values) {
        cell->slideValueChange(v, true);
        flushMainQueue();  // the value label is written on the main queue
        fit.walk(*cell, where);
      }
    }
  }
  cell.reset();
  flushMainQueue();
}

// Shows the type of the module with the most knobs, as a user chooses it, and
// checks that each knob is in sight or that the grid shows its scroller (the
// whole of it, not only unhidden: the grid may reach past its holder's
// edges). Returns the number of knobs.
size_t checkKnobsInSight(MainWindowDriver& w, const std::string& module) {
  EffectDataView& editor = w.editor();
  const auto& types = editor.moduleTypeViewModel->models();
  const auto listed = types.begin() + std::min<long>(long(types.size()), editor.myTableView->numberOfRows());
  const auto most = std::max_element(types.begin(), listed, [](const auto& a, const auto& b) {
    return a->effects().size() < b->effects().size();
  });
  if (most == listed) return 0;
  w.clickRow(*editor.myTableView, most - types.begin());
  EXPECT_TRUE(waitUntil([&] { return editor.moduleParamViewModel->curModel == *most; })) << module;
  w.window().layoutIfNeeded();
  flushMainQueue();

  CLCollectionView& grid = *editor.collectionView;
  const ui::View& clip = *grid.contentView();
  const ui::Rect inSight = clip.convertRectToView(clip.visibleRect(), nullptr);
  std::string outOfSight;
  const auto count = static_cast<int64_t>((*most)->effects().size());
  for (int64_t i = 0; i < count; ++i) {
    const ui::Rect knob =
        grid.documentView()->convertRectToView(grid.rectForItemAtIndexPath(cl_indexPathForItem(i, 0)), nullptr);
    if (!inSight.insetBy(-0.5, -0.5).contains(knob)) outOfSight += " " + (*most)->effects()[size_t(i)]->typeName;
  }
  const ui::Scroller& scroller = *grid.verticalScroller();
  const bool scrollerShown = !scroller.isHiddenOrHasHiddenAncestor() &&
                             scroller.visibleRect().insetBy(-0.5, -0.5).contains(scroller.bounds());
  EXPECT_TRUE(outOfSight.empty() || scrollerShown)
      << module << " " << (*most)->nickName << ": knobs out of sight and no scroller in sight:" << outOfSight
      << "; in sight " << rectText(inSight) << ", scroller " << rectText(scroller.visibleRect()) << " of "
      << rectText(scroller.bounds());
  return size_t(count);
}

// Every row of the editor's type list.
void checkTypeList(FitCheck& fit, MainWindowDriver& w, const std::string& module) {
  auto& table = *w.editor().myTableView;
  for (long row = 0; row < table.numberOfRows(); ++row) {
    table.scrollRowToVisible(row);
    w.window().layoutIfNeeded();
    flushMainQueue();
    if (auto cell = table.viewAtColumn(0, row)) fit.walk(*cell, module + " type list row " + std::to_string(row));
  }
  table.scrollRowToVisible(0);
}

// Opens the context menu of `table` on `row` and measures its items in the
// menu's own font and item width, then closes it.
void checkMenu(FitCheck& fit, ui::Window& window, ui::TableView& table, long row, const std::string& where) {
  const bool opened = answerContextMenu(window, table, row, [&](QMenu& menu) {
    for (QAction* a : menu.actions()) {
      if (a->isSeparator()) continue;
      const QRect g = menu.actionGeometry(a);
      const double width = QFontMetricsF(menu.font()).horizontalAdvance(a->text());
      if (width > g.width())
        ADD_FAILURE() << where << ": the menu item \"" << a->text().toStdString() << "\" is " << width
                      << " wide in a " << g.width() << " item";
      ++fit.measured;
    }
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&menu, &key);
  });
  EXPECT_TRUE(opened) << "no menu opened for " << where;
}

// The program's questions and tips, as the program words them.
const char* const kQuestions[] = {
    "Delete IR: 36:My Cabinet Impulse ?",
    "The current preset data has been modified,  would you like to save it?",
    "Whether to import preset data?",
    "The device will be reset. Please make a data backup",
};
const char* const kTips[] = {
    "Paste successful!",
    "Import Success",
    "NR文件错误",
    "Add preset successful!",
    "Delete preset failed.",
    "Wrong file name format! Please check compatibility of file name.",
    "Preset file version does not match! Please check compatibility of the file.",
    "IR import successful!\n Your custom IR is now available on the selected Cab SIM slot.",
    "IR import failed!\nPlease exit the software and restart to try again.\nIf problem recurs,please check "
    "compatibility of IR file.",
    "Preset failed,Please try again.",
    "Device data backup successful.",
};

TEST(TextFit, EveryLabelAndButtonOfEveryScreenHoldsItsText) {
  FitCheck fit;
  {
    SCOPED_TRACE("the main window");
    ShellRig rig;
    MainWindowDriver w(rig);
    ASSERT_TRUE(rig.launchMainWindow());
    ui::Window& window = w.window();
    picture(window, "fit-main-window.png");
    fit.walk(*w.content(), "main window");

    // Every module: its panel, its type list, and the knobs of every type.
    size_t mostKnobs = 0;
    ASSERT_TRUE(w.content()->frame().size == ui::Size(main_layout::kWidth, main_layout::kHeight))
        << "not the first size: " << ui::describe(w.content()->frame().size);
    for (int m = 0; m < 9; ++m) {
      const std::string name = EffectViewModel::moduleName(m);
      w.click(*w.bar().btns().at(static_cast<size_t>(m)));
      ASSERT_TRUE(waitUntil([&] {
        auto& editor = w.editor();
        return editor.titleTF->stringValue() == name && editor.moduleParamViewModel->curModel &&
               editor.moduleParamViewModel->curModel->effectName == name;
      })) << name;
      window.layoutIfNeeded();
      flushMainQueue();
      fit.walk(*w.content(), "main window, module " + name);
      if (m == 2 || m == 7) picture(window, "fit-module-" + std::to_string(m) + ".png");
      if (const size_t knobs = checkKnobsInSight(w, name); knobs > mostKnobs) {
        mostKnobs = knobs;
        picture(window, "fit-most-knobs.png");
      }
      checkTypeList(fit, w, name);
      checkEveryKnob(fit, w.editor(), name);
    }

    // The lists' menus, and the rename popover.
    checkMenu(fit, window, *w.list().deviceTableView, 3, "unit preset list");
    auto& library = dynamic_cast<LocalPresetView&>(*rig.vc().localPresetView);
    checkMenu(fit, window, *library.computerTableView, 0, "computer preset library");
    w.contextMenu(*w.list().deviceTableView, 4, "Rename");
    ASSERT_TRUE(w.list().renamePopover->isShown());
    auto popover = w.list().renamePopover->window();
    ASSERT_TRUE(popover);
    fit.walk(*popover->contentView(), "rename popover");
    picture(*popover, "fit-rename-open.png");
    {
      // Everything typed away: the placeholder shows.
      QWidget* editor = w.list().renameVC->editTF->fieldEditor();
      ASSERT_TRUE(editor);
      QKeyEvent all(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
      QCoreApplication::sendEvent(editor, &all);
      QKeyEvent erase(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
      QCoreApplication::sendEvent(editor, &erase);
      flushMainQueue();
      fit.walk(*popover->contentView(), "rename popover, typed away");
      picture(*popover, "fit-rename-typed-away.png");
    }
    w.list().renameVC->editTF->abortEditing();
    w.list().renameVC->editTF->setStringValue("");
    flushMainQueue();
    fit.walk(*popover->contentView(), "rename popover, empty");
    picture(*popover, "fit-rename.png");
    w.list().renamePopover->close();
    flushMainQueue();

    // The EXP screen with every module's parameters, then the system screen.
    w.top().goExp();
    flushMainQueue();
    ASSERT_TRUE(w.top().isExpShown());
    auto exp = ExpViewController::controllerOf(*w.top().expVC());
    ASSERT_TRUE(exp);
    for (const auto& button : exp->moduleButtons) {
      exp->chooseModule(*button);
      flushMainQueue();
      window.layoutIfNeeded();
      fit.walk(*w.content(), "EXP screen, module " + button->defaultTitle());
      if (button->flagIndex == 2) picture(window, "fit-exp.png");
    }
    // The top bar's EXP label with every assignment.
    for (int m = 0; m < ExpViewController::kModuleCount; ++m)
      for (size_t p = 0; p < ExpViewController::ttExp_para()[static_cast<size_t>(m)].size(); ++p) {
        const int index = static_cast<int>(ExpViewController::flatIndex(m, static_cast<int64_t>(p)));
        w.top().expValueLabel->setStringValue(TopView::expLabelText({m, index, 1}));
        w.top().setNeedsLayout(true);
        window.layoutIfNeeded();
        fit.walk(w.top(), "top bar, EXP assignment");
      }
    w.top().goSetting();
    flushMainQueue();
    ASSERT_TRUE(waitUntil([&] { return w.top().isSystemShown(); }));
    window.layoutIfNeeded();
    picture(window, "fit-system.png");
    fit.walk(*w.content(), "system screen");
  }
  {
    SCOPED_TRACE("the firmware update window");
    ShellRig rig{identityWith('B')};
    auto loader = rig.installRestartingBootLoader();
    rig.launch();
    auto update = rig.vc().updateVC();
    ASSERT_TRUE(update && update->window());
    const fs::path image = rig.folder / libupdate_zarvo::kFirmwareImageName;
    update->setFirmwarePath(rig.folder / "none.qv");
    fit.walk(*update->window()->contentView(), "update window, no image");
    const auto bytes = sim::makeTestFirmware(sim::TestFirmwareSpec::withBlocks(4));
    std::ofstream(image, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    update->setFirmwarePath(image);
    auto button = update->updateBtn.lock();
    ui::testing::Pointer pointer(*update->window());
    pointer.click(button->convertPointToView({button->bounds().midX(), button->bounds().midY()}, nullptr));
    fit.walk(*update->window()->contentView(), "update window, waiting");
    picture(*update->window(), "fit-update-waiting.png");
    update->applyProgress(57);
    fit.walk(*update->window()->contentView(), "update window, 57 %");
    update->applyProgress(99);
    fit.walk(*update->window()->contentView(), "update window, done");
    picture(*update->window(), "fit-update-done.png");
    ASSERT_TRUE(rig.waitForExit());
  }
  {
    SCOPED_TRACE("the loading pop-up, the questions and the tips");
    auto window = ui::Window::create(ui::Rect(0, 0, 1100, 650));
    window->makeKeyAndOrderFront();
    auto content = window->contentView();
    auto loading = ui::View::create<StartLoadingView>();
    loading->setFrame(ui::Rect(0, 0, 242, 100));
    GGPopView::ShowCoustomView(loading, content);
    for (double p : {0.0, 0.42, 0.995, 1.0}) {
      loading->setProgress(p);
      flushMainQueue();
      fit.walk(*content, "loading pop-up");
    }
    picture(*window, "fit-loading.png");
    loading->titleLabel()->setStringValue("Restoring ...");
    fit.walk(*content, "loading pop-up, restoring");
    GGPopView::hideViewInView(content.get());

    for (const char* question : kQuestions)
      for (const auto& buttons : {std::vector<std::string>{"NO", "YES"}, std::vector<std::string>{"NO", "SAVE"}}) {
        auto panel = SettingResetView::initWithTitle(question, buttons, nullptr);
        GGPopView::ShowCoustomView(panel, content);
        fit.walk(*content, "confirm panel");
        GGPopView::hideViewInView(content.get());
      }
    auto last = SettingResetView::initWithTitle(kQuestions[1], {"NO", "SAVE"}, nullptr);
    GGPopView::ShowCoustomView(last, content);
    picture(*window, "fit-confirm.png");
    GGPopView::hideViewInView(content.get());

    double x = 10, y = 640, rowHeight = 0;
    for (const char* tip : kTips) {
      for (auto type : {NSPopNormalView::Success, NSPopNormalView::Fail}) {
        auto box = NSPopNormalView::initWithType(type, tip);
        fit.walk(*box, "tip");
        if (type != NSPopNormalView::Success) continue;
        if (x + box->frame().width() > 1100) {
          x = 10;
          y -= rowHeight + 10;
          rowHeight = 0;
        }
        box->setFrameOrigin({x, y - box->frame().height()});
        x += box->frame().width() + 10;
        rowHeight = std::max(rowHeight, box->frame().height());
        content->addSubview(box);
      }
    }
    picture(*window, "fit-tips.png");
    window->close();
    flushMainQueue();
  }
  std::printf("[ fit      ] %d texts measured in the system font \"%s\"\n", fit.measured,
              ui::Font::systemFontOfSize(13).familyName().c_str());
  EXPECT_GT(fit.measured, 1000);
  EXPECT_TRUE(fit.offenders.empty()) << fit.offenders.size() << " texts do not fit:" << fit.report();
}

}  // namespace
