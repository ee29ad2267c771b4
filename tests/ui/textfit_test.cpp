// Every text of the main window and the three dialogs fully visible: for each label, button, radio
// button, check box, group caption, edit field and status-bar panel that shows a text, the text's advance in its
// font fits the room its widget gives it, lies inside every widget around it and under no other
// control. The widgets are found by walking the windows, so a new control or text counts at once.
// textfit.cmake runs this once per face (TAMBERLINE_FIT_FACE, the one face fontconfig offers) and
// at twice the scale.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOption>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>

#include "clock/clock_texts.h"
#include "support/fake_os.h"
#include "support/pty_pair.h"
#include "ui/dlg_comset.h"
#include "ui/dlg_correct.h"
#include "ui/dlg_syncro.h"
#include "ui/error_box.h"
#include "ui/form1.h"

namespace tamberline {

namespace {

// Where a widget draws its text and the room it has for it, in the widget's own coordinates.
struct TTextPlace {
    QString Text;
    QRect Room, Drawn;
};

TTextPlace Aligned(const QWidget* w, const QString& text, Qt::Alignment a, const QRect& room) {
    const QFontMetrics fm(w->font());
    const QSize size(fm.horizontalAdvance(text), fm.height());
    return {text, room,
            QStyle::alignedRect(w->layoutDirection(), QStyle::visualAlignment(w->layoutDirection(), a), size, room)};
}

std::optional<TTextPlace> PlaceOf(const QWidget* w) {
    const QStyle* st = w->style();
    if (auto* l = qobject_cast<const QLabel*>(w)) {
        if (l->text().isEmpty()) return std::nullopt;
        const int m = l->margin();
        return Aligned(l, l->text(), l->alignment(), l->contentsRect().adjusted(m, m, -m, -m));
    }
    if (auto* g = qobject_cast<const QGroupBox*>(w)) {
        if (g->title().isEmpty()) return std::nullopt;
        // The style sizes the caption's own rectangle from the text; the box is what can cut it.
        QStyleOptionGroupBox opt;
        opt.initFrom(g);
        opt.text = g->title();
        opt.textAlignment = g->alignment();
        opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        opt.lineWidth = 1;
        const QRect label = st->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, g);
        TTextPlace p = Aligned(g, g->title(), Qt::AlignLeft | Qt::AlignVCenter, label);
        p.Room = g->rect();
        return p;
    }
    if (auto* e = qobject_cast<const QLineEdit*>(w)) {
        if (e->text().isEmpty()) return std::nullopt;
        // As the edit paints: the style's contents, the text margins, and 2 px on either side.
        QStyleOptionFrame opt;
        opt.initFrom(e);
        opt.lineWidth = e->hasFrame() ? st->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e) : 0;
        opt.state |= QStyle::State_Sunken;
        const QRect room = st->subElementRect(QStyle::SE_LineEditContents, &opt, e)
                               .marginsRemoved(e->textMargins())
                               .adjusted(2, 0, -2, 0);
        return Aligned(e, e->text(), e->alignment(), room);
    }
    auto* b = qobject_cast<const QAbstractButton*>(w);
    if (!b || b->text().isEmpty()) return std::nullopt;
    QStyleOptionButton opt;
    opt.initFrom(b);
    opt.text = b->text();
    if (qobject_cast<const QRadioButton*>(b))
        return Aligned(b, b->text(), Qt::AlignLeft | Qt::AlignVCenter,
                       st->subElementRect(QStyle::SE_RadioButtonContents, &opt, b));
    if (qobject_cast<const QCheckBox*>(b))
        return Aligned(b, b->text(), Qt::AlignLeft | Qt::AlignVCenter,
                       st->subElementRect(QStyle::SE_CheckBoxContents, &opt, b));
    auto* p = qobject_cast<const QPushButton*>(b);
    if (!p) return std::nullopt;
    if (p->autoDefault()) opt.features |= QStyleOptionButton::AutoDefaultButton;
    if (p->isDefault()) opt.features |= QStyleOptionButton::DefaultButton;
    return Aligned(p, p->text(), Qt::AlignCenter, st->subElementRect(QStyle::SE_PushButtonContents, &opt, p));
}

QRect InTop(const QWidget* w, const QWidget* top, const QRect& r) {
    return r.translated(w->mapTo(top, QPoint(0, 0)));
}

QString Describe(const QWidget* w, const TTextPlace& p) {
    const QRect d = p.Drawn, r = p.Room;
    return QStringLiteral("%1 \"%2\" %3x%4 px in room %5x%6")
        .arg(w->metaObject()->className(), p.Text)
        .arg(d.width())
        .arg(d.height())
        .arg(r.width())
        .arg(r.height());
}

// Why the text is not fully seen, or nothing.
QString FaultOf(const QWidget* w, const QWidget* top, const TTextPlace& place, const QList<QWidget*>& all) {
    if (!place.Room.contains(place.Drawn)) return "wider than its room";
    const QRect drawn = InTop(w, top, place.Drawn);
    for (const QWidget* a = w->parentWidget(); a; a = a == top ? nullptr : a->parentWidget())
        if (!InTop(a, top, a->rect()).contains(drawn))
            return QStringLiteral("cut by the %1 around it").arg(a->metaObject()->className());
    for (const QWidget* o : all)
        if (o != w && o->isVisibleTo(top) && !o->isAncestorOf(w) && !w->isAncestorOf(o) &&
            InTop(o, top, o->rect()).intersects(drawn))
            return QStringLiteral("under a %1").arg(o->metaObject()->className());
    return {};
}

// Every text of `top` that is cut off, by its own widget, by a widget around it or by another control.
QStringList Clipped(const QWidget* top) {
    QStringList faults;
    const QList<QWidget*> all = top->findChildren<QWidget*>();
    for (const QWidget* w : all) {
        if (!w->isVisibleTo(top)) continue;
        const auto place = PlaceOf(w);
        if (!place) continue;
        const QString fault = FaultOf(w, top, *place, all);
        if (!fault.isEmpty()) faults << Describe(w, *place) + ": " + fault;
    }
    return faults;
}

}  // namespace

class TextFitTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp;
    std::unique_ptr<TPtyPair> pty;
    test::TFixedDir dir;
    test::TFakeClock clock;
    std::vector<std::string> errors;

    // The face in use must be the one under test, or the run would prove nothing about it.
    static void ExpectFace(const QWidget& w) {
        const QString want = qEnvironmentVariable("TAMBERLINE_FIT_FACE");
        if (!want.isEmpty()) QCOMPARE(QFontInfo(w.font()).family(), want);
        if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
            QCOMPARE(w.devicePixelRatioF(), qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
    }
    // Faults of one state, each with the state's name; all states are looked at before the verdict.
    QStringList faults;
    void Look(const QWidget& top, const QString& state) {
        for (const QString& f : Clipped(&top)) {
            faults << state + ": " + f;
            qWarning("%s", qPrintable(faults.back()));
        }
    }

  private slots:
    void initTestCase() {
        InstallGeneralErrorHandler();
        SetErrorBoxHook([this](const std::string& text) { errors.push_back(text); });
        tmp = std::make_unique<QTemporaryDir>();
        dir.Dir = tmp->path().toStdString();
        pty = std::make_unique<TPtyPair>();
        std::ofstream(dir.Dir + "/Settings.INI") << "[ComPortSettings]\nComPort=" << pty->SlavePath() << "\n";
    }

    void mainWindowInEveryState() {
        TForm1 form(clock, dir, false);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        ExpectFace(form);
        faults.clear();
        Look(form, "at start");
        const struct {
            const char* state;
            std::function<void()> step;
        } steps[] = {
            {"synchronised", [&] { form.ApplyOperatingMode(true); }},
            {"autonomous", [&] { form.ApplyOperatingMode(false); }},
            {"correcting the seconds", [&] { form.SetTimeModeSelected(false); }},
            {"after a Last Syncro",
             [&] { form.SetStatusText(1, LastSyncroText(SyncroStamp(clock.Now(), clock.TimeSeparator()))); }},
            {"clock not set for want of the right", [&] { form.SetStatusText(1, kNoClockRightText); }},
            {"device gone", [&] { form.ShowLinkLost(); }},
            {"synchronised again", [&] { form.ApplyOperatingMode(true); }},
            // The widest values the fields can show.
            {"zone +12 : 60", [&] { form.SetZoneHoursText("+12"), form.SetZoneMinutesText("60"); }},
            {"zone -12", [&] { form.SetZoneHoursText("-12"); }},
            {"correction +30", [&] { form.SetNewSSText("+30"); }},
            {"new time 23:59:59",
             [&] {
                 form.SetTimeModeSelected(true);
                 form.SetNewHHText("23"), form.SetNewMMText("59"), form.SetNewSSText("59");
             }},
        };
        for (const auto& s : steps) {
            s.step();
            Look(form, QString::fromUtf8(s.state));
        }
        QVERIFY2(faults.isEmpty(), "texts cut off, listed above");
        QCOMPARE(errors, std::vector<std::string>{});
    }

    void dialogs() {
        TComPort port;
        port.SetPort("/dev/ttyUSB0");
        TDlgComSet com(port, [](std::vector<std::string>& v) { v = {"/dev/ttyS0", "/dev/ttyUSB0"}; });
        TDlgCorrect corr;
        corr.CorrSeconds = 30;
        uint8_t hours = 1;
        TDlgSelectSyncroTime sync(hours);
        faults.clear();
        for (QDialog* d : std::initializer_list<QDialog*>{&com, &corr}) {
            d->show();
            ExpectFace(*d);
            Look(*d, d->windowTitle());
            d->hide();
        }
        // One period for each form of the words.
        for (const uint8_t h : {1, 24, 6}) {
            hours = h;
            sync.show();
            Look(sync, QStringLiteral("period %1").arg(h));
            sync.hide();
        }
        QVERIFY2(faults.isEmpty(), "texts cut off, listed above");
    }
};

}  // namespace tamberline

QTEST_MAIN(tamberline::TextFitTest)
#include "textfit_test.moc"
