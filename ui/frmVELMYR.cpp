#include "frmVELMYR.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFont>
#include <QIcon>
#include <QImageReader>
#include <QPixmap>
#include <optional>

#include "platform/controls/list_support.h"
#include "platform/controls/mouse_args.h"

using controls::toPixels;

namespace {

// Colours given as 0x00BBGGRR values, as the layout is written.
QColor bgr(unsigned value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

const QColor Navy = bgr(0x00800000);
const QColor Black = bgr(0x00000000);
const QColor White = bgr(0x00FFFFFF);
const QColor Grey = bgr(0x00808080);
const QColor Pink = bgr(0x008080FF);
const QColor Olive = bgr(0x00008080);

// Arial is served by Liberation Sans, which has its metrics.
QFont arial(double points, int weight) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setWeight(QFont::Weight(weight));
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

constexpr int WindowLeft = 10290, WindowTop = 5250, WindowWidth = 3375, WindowHeight = 2910;

QRect twipsRect(int left, int top, int width, int height) {
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

}  // namespace

const QColor frmVELMYR::RestColor = bgr(0x00808080);

QColor frmVELMYR::HoverColor() {
    // The desktop's window-background system colour: the colour behind
    // editable text, white in the default scheme.
    return QGuiApplication::palette().color(QPalette::Base);
}

frmVELMYR::frmVELMYR() : frmVELMYR(Options{}) {}

frmVELMYR::frmVELMYR(Options options) : options_(std::move(options)) {
    if (options_.programFolder.isEmpty()) options_.programFolder = QCoreApplication::applicationDirPath();
    if (!options_.endProgram) options_.endProgram = [] { QCoreApplication::quit(); };
    createControls();
    applyLayout();
    if (options_.desktopControls) createDesktopControls(*options_.desktopControls);
    bindEvents();
    emit Load();
}

QString frmVELMYR::SettingsFile() const { return options_.programFolder + QStringLiteral("/velmyr.ini"); }

void frmVELMYR::createControls() {
    // Each control goes below those created before it, as the members are listed.
    auto create = [this]<typename Control>(Control*& member) {
        member = new Control(this);
        member->lower();
    };
    create(Dir1);
    create(File1);
    create(Label4);
    create(Label10);
    create(Label9);
    create(Label8);
    create(Label7);
    create(Label6);
    create(Label5);
    create(Line3);
    create(Line2);
    create(Line1);
    create(Label3);
    create(Label2);
    create(Label1);
}

void frmVELMYR::applyLayout() {
    setWindowTitle(QStringLiteral("Quillmere Mp3 Player"));
    // The icon's 16-colour images as PNG, read as PNG: a reader left to find
    // the format loads every image plugin to ask, which costs the start.
    QIcon icon;
    for (int size : {16, 32}) {
        QImageReader png(QStringLiteral(":/icon/velmyr-%1.png").arg(size), "png");
        png.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(png.read()));
    }
    setWindowIcon(icon);
    setFixedSize(toPixels(WindowWidth), toPixels(WindowHeight));
    // Moved in where the window would not be whole, as at large scale factors on small screens.
    moveOnScreen(QPoint(toPixels(WindowLeft), toPixels(WindowTop)));
    QPalette surface = palette();
    surface.setColor(QPalette::Window, Navy);
    setPalette(surface);
    setAutoFillBackground(true);
    setFont(arial(8.25, 400));

    struct ListRow {
        QAbstractItemView* control;
        int left, top, width, height;
        QColor background, text;
    };
    const ListRow lists[] = {
        // control  left  top  width height  background  text
        {Dir1, 360, 360, 2535, 570, Grey, Black},
        {File1, 360, 960, 2535, 1080, Olive, White},
    };
    for (const ListRow& row : lists) {
        row.control->setGeometry(twipsRect(row.left, row.top, row.width, row.height));
        controls::applyListLook(row.control, row.background, row.text);
    }

    struct LabelRow {
        controls::EventLabel* control;
        int left, top, width, height;
        const char* caption;
        QColor text;
        std::optional<QColor> opaqueBackground;  // none: transparent
        std::optional<QFont> font;               // none: the window's font
    };
    const LabelRow labels[] = {
        // control  left  top  width height caption  text  background  font
        {Label4, 2520, 2160, 255, 255, " m", Grey, {}, {}},
        {Label10, 240, 2520, 2655, 255, "", Grey, {}, {}},
        {Label9, 360, 2160, 135, 255, "<", White, {}, {}},
        {Label8, 2280, 2160, 135, 255, ">", White, {}, {}},
        {Label7, 1800, 2160, 375, 255, "stop", White, {}, {}},
        {Label6, 1080, 2160, 615, 255, "  pause", White, {}, {}},
        {Label5, 600, 2160, 375, 255, " play", White, {}, {}},
        {Label3, 3120, 0, 255, 255, "  X", Pink, Black, arial(9, 700)},
        {Label2, 0, 0, 255, 255, "  _", Pink, Black, {}},
        {Label1, 120, 0, 3135, 255, "                Quillmere  MP3 Player", White, Black, arial(8.25, 700)},
    };
    for (const LabelRow& row : labels) {
        row.control->setGeometry(twipsRect(row.left, row.top, row.width, row.height));
        row.control->setText(QString::fromLatin1(row.caption));
        row.control->setForeColor(row.text);
        if (row.opaqueBackground) row.control->setOpaqueBackground(*row.opaqueBackground);
        if (row.font) row.control->setFont(*row.font);
    }

    // What a screen reader says of the labels: words for what a click does
    // now; the pause and mute labels are pressed while their captions say so.
    using Exposed = controls::EventLabel::Exposed;
    struct ExposedRow {
        controls::EventLabel* control;
        Exposed kind;
        QList<controls::EventLabel::Words> words;
    };
    const ExposedRow exposed[] = {
        {Label2, Exposed::Button, {{"  _", "Minimize"}}},
        {Label3, Exposed::Button, {{"  X", "Close"}}},
        {Label9, Exposed::Button, {{"<", "Previous"}}},
        {Label5, Exposed::Button, {{" play", "Play"}}},
        {Label6, Exposed::ToggleButton, {{"  pause", "Pause"}, {"  play", "Resume", true}}},
        {Label7, Exposed::Button, {{"stop", "Stop"}}},
        {Label8, Exposed::Button, {{">", "Next"}}},
        {Label4, Exposed::ToggleButton, {{" m", "Mute"}, {" un", "Unmute", true}}},
        {Label1, Exposed::Title, {}},
        {Label10, Exposed::StatusBar, {}},
    };
    for (const ExposedRow& row : exposed) row.control->expose(row.kind, row.words);
    Dir1->setAccessibleName(QStringLiteral("Folders"));
    File1->setAccessibleName(QStringLiteral("Files"));

    struct LineRow {
        controls::LineShape* control;
        int x1, y1, x2, y2;
    };
    const LineRow lines[] = {
        // control  from x, y   to x, y
        {Line3, 3600, 0, 3600, 2520},
        {Line2, 0, 2880, 3360, 2880},
        {Line1, 0, 0, 0, 2400},
    };
    const QColor windowText = QGuiApplication::palette().color(QPalette::WindowText);
    for (const LineRow& row : lines) {
        row.control->setLine(row.x1, row.y1, row.x2, row.y2);
        row.control->setBorderColor(windowText);
    }

    // Only the lists take the focus; Tab goes between them, the file list first.
    setFocusPolicy(Qt::NoFocus);
    Dir1->setFocusPolicy(Qt::StrongFocus);
    File1->setFocusPolicy(Qt::StrongFocus);
    setTabOrder(File1, Dir1);
    File1->setFocus(Qt::OtherFocusReason);
}
