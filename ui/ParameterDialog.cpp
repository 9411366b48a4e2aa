#include "ui/ParameterDialog.h"

#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"
#include "ui/PluginTreeCtrlView.h"
#include "ui/UiServices.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <cstdlib>
#include <limits>

namespace {

constexpr UniqueNr kTextExchangeDevices = 965;

// Shows the wait cursor while a change is applied.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The conversion letters of a printf text ("%-5ld" counts as 'd'); nothing when it has one we do not
// know.
bool Conversions(const QString& text, QString& letters)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '%')
            continue;
        if (++i >= text.size())
            return false;
        if (text[i] == '%')
            continue;
        while (i < text.size() && QStringLiteral("-+ #0123456789.lhL").contains(text[i]))
            ++i;
        if (i >= text.size())
            return false;
        const QChar c = text[i];
        if (c == 's' || c == 'S')
            letters += 's';
        else if (c == 'd' || c == 'i' || c == 'u')
            letters += 'd';
        else
            return false;
    }
    return true;
}

QString Substitute(const QString& text, std::initializer_list<QString> args)
{
    QString out;
    auto arg = args.begin();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (text[++i] == '%') {
            out += '%';
            continue;
        }
        while (!QStringLiteral("sSdiu").contains(text[i]))
            ++i;
        if (arg != args.end())
            out += *arg++;
    }
    return out;
}

std::int32_t ReadSigned(const QString& text)
{
    bool ok = false;
    const long long v = text.trimmed().toLongLong(&ok);
    if (!ok)
        return 0;
    return static_cast<std::int32_t>(std::clamp<long long>(v, std::numeric_limits<std::int32_t>::min(),
                                                           std::numeric_limits<std::int32_t>::max()));
}

} // namespace

QString FormatHostText(const QString& text, const QString& fallback, const char* expected,
                       std::initializer_list<QString> args)
{
    QString letters;
    if (!Conversions(text, letters) || letters != QLatin1String(expected)) {
        TRACE_MSG(TRACE_ERROR, "Text '%s' does not fit, using '%s'", text.toUtf8().constData(),
                  fallback.toUtf8().constData());
        return Substitute(fallback, args);
    }
    return Substitute(text, args);
}

CParameterDialog::CParameterDialog(int templateId, IMainWindow& main, QWidget* parent)
    : CTemplateDialog(templateId, parent, true), m_main(main), m_pModel(main.GetModel())
{}

bool CParameterDialog::OnInitDialog()
{
    if (!Template())
        return false;
    for (const ControlTemplate& c : Template()->controls) {
        QWidget* w = GetDlgItem(c.id);
        if (!w || c.id <= 0)
            continue;
        if (auto* combo = qobject_cast<QComboBox*>(w)) {
            connect(combo, &QComboBox::activated, this, [this, id = c.id] { OnSelChange(id); });
        } else if (auto* time = qobject_cast<QDateTimeEdit*>(w)) {
            time->installEventFilter(this);
            connect(time, &QDateTimeEdit::timeChanged, this, [this, id = c.id] {
                if (IsFocusInControl(id))
                    OnDateTimeChange(id);
            });
        } else if (qobject_cast<QLineEdit*>(w)) {
            w->installEventFilter(this);
        }
    }
    if (m_pTable) {
        InitBindings();
        ApplyRules();
    }
    return true;
}

int CParameterDialog::ControlId(QObject* object) const
{
    if (!Template())
        return 0;
    for (const ControlTemplate& c : Template()->controls)
        if (c.id > 0 && GetDlgItem(c.id) == object)
            return c.id;
    return 0;
}

bool CParameterDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        if (const int id = ControlId(watched))
            OnKillFocus(id);
    } else if (event->type() == QEvent::KeyPress) {
        if (PreTranslateMessage(static_cast<const QKeyEvent&>(*event)))
            return true;
    }
    return CTemplateDialog::eventFilter(watched, event);
}

bool CParameterDialog::CanApply() const
{
    return !m_main.IsCancelling() && m_main.GetWindow() && m_main.GetWindow()->isVisible();
}

void CParameterDialog::InitComboBox(int idc, int labelIdc, UniqueNr number, std::int32_t* cache,
                                    std::int32_t minimum, std::int32_t maximum)
{
    TRACE_MSG(TRACE_INFO, "IDC = %d", idc);
    if (labelIdc)
        SetLabelText(labelIdc, number);
    CEtsAccess::EnumMap values;
    Model().GetParameterEnumValues(number, values);
    if (cache)
        Model().GetParameterValue(number, *cache);
    auto* combo = Item<QComboBox>(idc);
    if (!combo)
        return;
    combo->clear();
    int selected = -1;
    for (const auto& [value, text] : values) {
        if (maximum >= minimum && (value < minimum || value > maximum))
            continue;
        combo->addItem(QString::fromStdString(text), value);
        if (cache && value == *cache)
            selected = combo->count() - 1;
    }
    // A host value outside the window selects nothing.
    combo->setCurrentIndex(selected);
}

std::int32_t CParameterDialog::GetComboboxEnumValue(int idc, QString* text) const
{
    auto* combo = Item<QComboBox>(idc);
    std::int32_t value = 0;
    if (combo && combo->currentIndex() >= 0) {
        value = combo->currentData().toInt();
        if (text)
            *text = combo->currentText();
    }
    TRACE_MSG(TRACE_INFO, "IDC = %d, Value = $%lX", idc,
              static_cast<unsigned long>(static_cast<std::uint32_t>(value)));
    return value;
}

bool CParameterDialog::SelectComboboxEnumValue(int idc, std::int32_t value)
{
    TRACE_MSG(TRACE_INFO, "IDC = %d, Value = $%lX", idc,
              static_cast<unsigned long>(static_cast<std::uint32_t>(value)));
    auto* combo = Item<QComboBox>(idc);
    if (!combo)
        return false;
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemData(i).toInt() == value) {
            combo->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

bool CParameterDialog::SelectComboboxEnumValue(int idc, UniqueNr number, std::int32_t* cache,
                                               std::int32_t value)
{
    if (cache)
        *cache = value;
    Model().SetParameterLong(number, value);
    return SelectComboboxEnumValue(idc, value);
}

void CParameterDialog::InitLightnessCombobox(int idc, std::int32_t value, std::int32_t minimum,
                                             std::int32_t maximum)
{
    TRACE_MSG(TRACE_INFO, "IDC = %d, Value = %ld", idc, static_cast<long>(value));
    auto* combo = Item<QComboBox>(idc);
    if (!combo)
        return;
    combo->clear();
    for (const auto& [v, text] : Model().GetLightnessChoices())
        if (v == 0 || maximum < minimum || (v >= minimum && v <= maximum))
            combo->addItem(QString::fromStdString(text), int{v});
    if (value < 0) {
        combo->setCurrentIndex(-1);
        return;
    }
    if (value != 0 && maximum >= minimum)
        value = std::clamp(value, minimum, maximum);
    SelectComboboxLightnessValue(idc, value);
}

void CParameterDialog::SelectComboboxLightnessValue(int idc, std::int32_t value)
{
    TRACE_MSG(TRACE_INFO, "IDC = %d, Value = %ld", idc, static_cast<long>(value));
    auto* combo = Item<QComboBox>(idc);
    if (!combo)
        return;
    if (value < 0) {
        combo->setCurrentIndex(-1);
        return;
    }
    // By its text first, searching after the first item and wrapping round, as the list box does.
    const QString text =
        QString::fromStdString(Model().GetLightnessValueText(static_cast<std::uint32_t>(value)));
    const int count = combo->count();
    for (int k = 1; k <= count; ++k) {
        const int i = k % count;
        if (combo->itemText(i).startsWith(text, Qt::CaseInsensitive)) {
            combo->setCurrentIndex(i);
            return;
        }
    }
    int best = -1;
    long bestDiff = 0;
    for (int i = 0; i < count; ++i) {
        const long diff = std::labs(static_cast<long>(combo->itemData(i).toInt()) - value);
        if (best < 0 || diff < bestDiff) {
            best = i;
            bestDiff = diff;
        }
    }
    if (best >= 0) {
        TRACE_MSG(TRACE_ERROR, "Approximating value %ld by %ld", static_cast<long>(value),
                  static_cast<long>(combo->itemData(best).toInt()));
        combo->setCurrentIndex(best);
    }
}

bool CParameterDialog::ComboboxChanged(int idc, UniqueNr number, std::int32_t* cache, bool checkAssociations)
{
    TRACE_MSG(TRACE_INFO, "IDC = %d", idc);
    if (!Item<QComboBox>(idc))
        return false;
    const std::int32_t old = cache ? *cache : 0;
    const std::int32_t now = GetComboboxEnumValue(idc);
    if (now == old)
        return false;
    WaitCursor wait;
    if (checkAssociations && !Model().CanChangeValueAfterCheckObjectAssociations(number)) {
        SelectComboboxEnumValue(idc, old);
        return false;
    }
    if (cache)
        *cache = now;
    if (number != 0)
        Model().SetParameterLong(number, now);
    return true;
}

void CParameterDialog::InitTimePicker(int idc, int labelIdc, const QString& format, UniqueNr hourNr,
                                      UniqueNr minuteNr, UniqueNr secondNr, std::int32_t* hours,
                                      std::int32_t* minutes, std::int32_t* seconds, QTime* minimum,
                                      QTime* maximum)
{
    TRACE_MSG(TRACE_INFO, "IDC = %d", idc);
    const QChar first = format.isEmpty() ? QChar() : format[0];
    SetLabelText(labelIdc, first == 'h' ? hourNr : first == 'm' ? minuteNr : secondNr);
    std::int32_t lo[3] = {0, 0, 0};
    std::int32_t hi[3] = {hourNr < 1 ? 0 : 23, hourNr > 0 || minuteNr > 0 ? 59 : 0, 59};
    const UniqueNr numbers[3] = {hourNr, minuteNr, secondNr};
    std::int32_t* caches[3] = {hours, minutes, seconds};
    for (int f = 0; f < 3; ++f) {
        if (numbers[f] <= 0)
            continue;
        Model().GetParameterIntegerValueRange(numbers[f], lo[f], hi[f]);
        if (caches[f])
            Model().GetParameterValue(numbers[f], *caches[f]);
    }
    auto clock = [](std::int32_t h, std::int32_t m, std::int32_t s) {
        return QTime(std::clamp(h, 0, 23), std::clamp(m, 0, 59), std::clamp(s, 0, 59));
    };
    const QTime from = clock(lo[0], lo[1], lo[2]), to = clock(hi[0], hi[1], hi[2]);
    if (minimum)
        *minimum = from;
    if (maximum)
        *maximum = to;
    auto* picker = Item<QDateTimeEdit>(idc);
    if (!picker)
        return;
    QString display = format;
    display.remove('\'');
    picker->setDisplayFormat(display);
    if (from.msecsSinceStartOfDay() < to.msecsSinceStartOfDay())
        picker->setTimeRange(from, to);
    const QSignalBlocker quiet(picker);
    picker->setTime(clock(hours ? *hours : 0, minutes ? *minutes : 0, seconds ? *seconds : 0));
}

bool CParameterDialog::TimePickerChanged(int idc, UniqueNr hourNr, UniqueNr minuteNr, UniqueNr secondNr,
                                         std::int32_t* hours, std::int32_t* minutes, std::int32_t* seconds)
{
    if (!CanApply())
        return false;
    TRACE_MSG(TRACE_INFO, "IDC = %d", idc);
    auto* picker = Item<QDateTimeEdit>(idc);
    if (!picker)
        return false;
    WaitCursor wait;
    const QTime t = picker->time();
    const std::int32_t fields[3] = {t.hour(), t.minute(), t.second()};
    const UniqueNr numbers[3] = {hourNr, minuteNr, secondNr};
    std::int32_t* caches[3] = {hours, minutes, seconds};
    bool changed = false;
    for (int f = 0; f < 3; ++f) {
        if (caches[f] && *caches[f] == fields[f])
            continue;
        if (numbers[f] > 0)
            Model().SetParameterLong(numbers[f], fields[f]);
        if (caches[f])
            *caches[f] = fields[f];
        changed = true;
    }
    return changed;
}

void CParameterDialog::LimitTimePickerValue(int idc, QTime minimum, QTime maximum, int minimumSeconds)
{
    TRACE_MSG(TRACE_INFO, "IDC = %d", idc);
    auto* picker = Item<QDateTimeEdit>(idc);
    if (!picker)
        return;
    WaitCursor wait;
    const QTime t = picker->time();
    QTime start = minimum;
    if (t.hour() == 0 && t.minute() == 0) {
        start = QTime(0, 0, std::clamp(minimumSeconds, 0, 59));
        if (minimumSeconds >= t.second())
            picker->setTime(start);
    }
    picker->setTimeRange(start, maximum);
}

void CParameterDialog::InitNumberBox(int idc, int labelIdc, UniqueNr number, std::int32_t* cache)
{
    TRACE_MSG(TRACE_INFO, "IDC = %d", idc);
    std::int32_t local = 0;
    std::int32_t& value = cache ? *cache : local;
    if (number > 0) {
        if (labelIdc)
            SetLabelText(labelIdc, number);
        Model().GetParameterValue(number, value);
    }
    if (auto* edit = Item<QLineEdit>(idc))
        edit->setText(QString::number(value));
}

bool CParameterDialog::NumberBoxChanged(int idc, UniqueNr number, std::int32_t* cache, std::int32_t minimum,
                                        std::int32_t maximum)
{
    if (!CanApply())
        return false;
    TRACE_MSG(TRACE_INFO, "IDC = %d", idc);
    auto* edit = Item<QLineEdit>(idc);
    if (!edit)
        return false;
    std::int32_t value = ReadSigned(edit->text());
    if (minimum <= maximum)
        value = std::clamp(value, minimum, maximum);
    edit->setText(QString::number(value));
    if (cache && *cache == value)
        return false;
    if (cache)
        *cache = value;
    if (number > 0)
        Model().SetParameterLong(number, value);
    return true;
}

bool CParameterDialog::KnxNumberChanged(int idc, const std::function<int(int)>& nextFree)
{
    std::int32_t& number = BoundRef(idc);
    const std::int32_t old = number;
    if (!NumberBoxChanged(idc, 0, &number, 1, 64))
        return false;
    const int free = nextFree(number);
    // Without a KNX number a scene would cease to exist and an effect could not be called.
    if (free == 0 || free != number) {
        number = free == 0 ? old : free;
        SetDlgItemText(idc, QString::number(number));
    }
    return free != 0;
}

void CParameterDialog::RelabelNode(QTreeWidgetItem* node, const QString& name)
{
    CPluginTreeCtrlView::SetLabelName(node, name);
    if (node && Tree()->SelectedNode() == node)
        Main().ChangeLabelActiveTreeNode();
}

bool CParameterDialog::EditBoxChanged(int idc, UniqueNr number, QString& cache)
{
    TRACE_ENTRY();
    if (!CanApply())
        return false;
    TRACE_MSG(TRACE_INFO, "IDC = %d", idc);
    auto* edit = Item<QLineEdit>(idc);
    if (!edit || edit->text() == cache)
        return false;
    cache = edit->text();
    if (number > 0)
        Model().SetParameterString(number, cache.toStdString());
    return true;
}

bool CParameterDialog::TranslateNumberBoxMessage(const QKeyEvent& key, int idc, std::int32_t minimum,
                                                 std::int32_t maximum)
{
    auto* edit = Item<QLineEdit>(idc);
    if (!edit || QApplication::focusWidget() != edit)
        return false;
    const int k = key.key();
    if (k != Qt::Key_Up && k != Qt::Key_Down && k != Qt::Key_PageUp && k != Qt::Key_PageDown)
        return false;
    TRACE_MSG(TRACE_INFO, "IDC = %d", idc);
    std::int32_t value = ReadSigned(edit->text());
    // Up lowers and Down raises, as the list of numbers reads from top to bottom.
    if (k == Qt::Key_Up)
        value = value > minimum ? value - 1 : minimum;
    else if (k == Qt::Key_Down)
        value = value < maximum ? value + 1 : maximum;
    else if (k == Qt::Key_PageUp)
        value = minimum;
    else
        value = maximum;
    edit->setText(QString::number(value));
    edit->selectAll();
    return true;
}

void CParameterDialog::InitMemberTypeCombobox(int idc, int labelIdc, int device, std::int32_t* cache)
{
    CEtsDbManagement& m = Model();
    if (!m.IsMemberTypeCheckActive()) {
        ShowControl(labelIdc, false);
        ShowControl(idc, false);
        return;
    }
    SetDlgItemText(labelIdc, QString::fromStdString(m.GetLabel(LabelType)));
    for (const auto& [value, text] : m.GetMemberTypes())
        AddComboboxItem(idc, value, QString::fromStdString(text));
    *cache = m.GetMemberType(device);
    if (!SelectComboboxEnumValue(idc, *cache))
        if (auto* combo = Item<QComboBox>(idc)) {
            combo->setEditable(true);
            combo->setCurrentIndex(-1);
            combo->setEditText(QString::number(*cache));
        }
}

bool CParameterDialog::MemberNumberChanged(int idc, std::int32_t* cache)
{
    const std::int32_t old = *cache;
    if (!NumberBoxChanged(idc, 0, cache, 1, kMemberCount))
        return false;
    if (!Model().IsMemberUsed(*cache))
        return true;
    QString question;
    GetTextByNumber(kTextExchangeDevices, question, "Exchange device %d and %d?");
    question = FormatHostText(question, QStringLiteral("Exchange device %d and %d?"), "dd",
                              {QString::number(old), QString::number(*cache)});
    if (UiServices::Prompt().Ask("Veltrona", question.toStdString(), PromptButtons::YesNo,
                                 PromptIcon::Question) == PromptAnswer::Yes)
        return true;
    *cache = old;
    SetDlgItemText(idc, QString::number(old));
    return false;
}

bool CParameterDialog::ChangeMemberType(int device, int oldType, int newType)
{
    TRACE_MSG(TRACE_INFO, "MemberNr = %d: Type = %d -> %d", device, oldType, newType);
    CEtsDbManagement& model = Model();
    const bool bookkeeping = model.IsEmergencyLampsUsed() && model.IsIndividualEmergencySupply() &&
                             model.IsDaliEmergencyTypeInUse();
    const UniqueNr flag = GetMemberBlockUniqueNr(param::kMemberEmergencyLamp, device);
    if (bookkeeping && oldType == 1 && !model.CanChangeValueAfterCheckObjectAssociations(flag))
        return false;
    ApplyMemberType(device, oldType, newType);
    return true;
}

void CParameterDialog::ApplyMemberType(int device, int oldType, int newType)
{
    CEtsDbManagement& model = Model();
    const bool bookkeeping = model.IsEmergencyLampsUsed() && model.IsIndividualEmergencySupply() &&
                             model.IsDaliEmergencyTypeInUse();
    model.SetMemberType(device, newType);
    if (bookkeeping && (oldType == 1) != (newType == 1)) {
        if (CPluginTreeCtrlView* tree = Tree())
            tree->UpdateEmergencyLamps(tree->SelectedNode());
        model.SetParameterLong(GetMemberBlockUniqueNr(param::kMemberEmergencyLamp, device),
                               newType == 1 ? 1 : 0);
    }
}

bool CParameterDialog::GetTextByNumber(UniqueNr number, QString& text, const char* englishDefault) const
{
    std::string value;
    if (SUCCEEDED(Model().GetParameterValue(number, value))) {
        text = QString::fromStdString(value);
        return true;
    }
    if (englishDefault)
        text = QString::fromUtf8(englishDefault);
    return false;
}

bool CParameterDialog::GetDescriptionByNumber(UniqueNr number, QString& text,
                                              const char* englishDefault) const
{
    if (englishDefault)
        text = QString::fromUtf8(englishDefault);
    std::string value;
    if (SUCCEEDED(Model().GetParameterText(number, &value)) && !value.empty()) {
        text = QString::fromStdString(value);
        return true;
    }
    return false;
}

void CParameterDialog::SetLabelText(int idc, UniqueNr number, QString* shown)
{
    QString text;
    if (GetDescriptionByNumber(number, text)) {
        if (idc == 0)
            setWindowTitle(text);
        else
            SetDlgItemText(idc, text);
    }
    if (shown)
        *shown = idc == 0 ? windowTitle() : GetDlgItemText(idc);
}

int CParameterDialog::AddComboboxItem(int idc, std::int32_t data, const QString& text)
{
    auto* combo = Item<QComboBox>(idc);
    if (!combo)
        return -1;
    combo->addItem(text, data);
    return combo->count() - 1;
}

void CParameterDialog::ShowControl(int idc, bool show)
{
    if (QWidget* w = GetDlgItem(idc))
        w->setVisible(show);
}

void CParameterDialog::EnableControl(int idc, bool enable)
{
    if (QWidget* w = GetDlgItem(idc))
        w->setEnabled(enable);
}

void CParameterDialog::FocusControl(int idc)
{
    // Posted, so that the current notification ends before the focus moves.
    if (QWidget* w = GetDlgItem(idc))
        QTimer::singleShot(0, w, [w] { w->setFocus(Qt::OtherFocusReason); });
}

void CParameterDialog::EnableAndFocusControl(int idc)
{
    EnableControl(idc, true);
    FocusControl(idc);
}

bool CParameterDialog::IsFocusInControl(int idc) const
{
    QWidget* control = GetDlgItem(idc);
    for (QWidget* w = QApplication::focusWidget(); w && control; w = w->parentWidget())
        if (w == control)
            return true;
    return false;
}
