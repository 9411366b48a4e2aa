#include "ui/TemplateDialog.h"

#include "trace/DebugTrace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDirIterator>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTreeWidget>
#include <cstdio>

namespace {

// Rounded a * b / c, as the system's MulDiv.
int MulDiv(int a, int b, int c)
{
    return static_cast<int>((static_cast<long long>(a) * b * 2 + c) / (2LL * c));
}

DialogTemplates LoadTemplates()
{
    DialogTemplates all;
    QDirIterator it(":/dialogs", {"*.rc"}, QDir::Files);
    QStringList files;
    while (it.hasNext())
        files << it.next();
    files.sort();
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = file.readAll();
        std::string error;
        auto parsed =
            DialogTemplates::Parse(std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                                   path.toStdString(), &error);
        if (!parsed || !all.Merge(std::move(*parsed), &error)) {
            TRACE_MSG(TRACE_ERROR, "%s", error.c_str());
            std::fprintf(stderr, "veltrona: %s\n", error.c_str());
        }
    }
    return all;
}

} // namespace

const DialogTemplates& CTemplateDialog::Templates()
{
    static const DialogTemplates templates = LoadTemplates();
    return templates;
}

QFont CTemplateDialog::DialogFont(const DialogTemplate& t)
{
    // The classic dialog face maps to the desktop's sans-serif at the same size.
    QFont font(t.fontFace == "MS Sans Serif" || t.fontFace == "MS Shell Dlg"
                   ? QStringLiteral("DejaVu Sans")
                   : QString::fromStdString(t.fontFace));
    font.setPointSize(t.fontSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

CTemplateDialog::CTemplateDialog(int templateId, QWidget* parent, bool child)
    : QDialog(parent), m_templateId(templateId), m_child(child)
{
    if (child)
        setWindowFlags(Qt::Widget);
}

QRect CTemplateDialog::MapDialogRect(int x, int y, int cx, int cy) const
{
    return QRect(MulDiv(x, m_base.width(), 4), MulDiv(y, m_base.height(), 8), MulDiv(cx, m_base.width(), 4),
                 MulDiv(cy, m_base.height(), 8));
}

void CTemplateDialog::SetDlgItemText(int id, const QString& text)
{
    QWidget* w = GetDlgItem(id);
    if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(w))
        plain->setPlainText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(w))
        group->setTitle(text);
}

QString CTemplateDialog::GetDlgItemText(int id) const
{
    QWidget* w = GetDlgItem(id);
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text();
    if (auto* plain = qobject_cast<QPlainTextEdit*>(w))
        return plain->toPlainText();
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return combo->currentText();
    return {};
}

bool CTemplateDialog::Create()
{
    m_template = Templates().Find(m_templateId);
    if (!m_template)
        return false;
    const QFont font = DialogFont(*m_template);
    setFont(font);
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_base = QSize((letters / 26 + 1) / 2, metrics.height());

    const QRect size = MapDialogRect(0, 0, m_template->cx, m_template->cy);
    resize(size.width(), size.height());
    if (!m_child) {
        setWindowTitle(QString::fromStdString(m_template->caption));
        setSizeGripEnabled(false);
        Qt::WindowFlags flags = Qt::Dialog | Qt::WindowTitleHint;
        if (m_template->HasStyle("WS_SYSMENU"))
            flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (m_template->HasStyle("WS_MINIMIZEBOX"))
            flags |= Qt::WindowMinimizeButtonHint;
        if (m_template->HasStyle("WS_MAXIMIZEBOX"))
            flags |= Qt::WindowMaximizeButtonHint;
        setWindowFlags(flags);
        if (!m_template->HasStyle("WS_THICKFRAME"))
            setFixedSize(size.size());
    }
    // Group boxes first, so that the controls inside them lie above.
    for (int pass = 0; pass < 2; ++pass) {
        for (const ControlTemplate& c : m_template->controls) {
            if ((c.kind == "GROUPBOX") != (pass == 0))
                continue;
            if (QWidget* w = CreateControl(c)) {
                QRect r = MapDialogRect(c.x, c.y, c.cx, c.cy);
                // A combo box's template height is that of its open list; closed it is one line.
                if (qobject_cast<QComboBox*>(w))
                    r.setHeight(std::min(r.height(), w->sizeHint().height()));
                w->setGeometry(r);
                if (c.HasStyle("WS_DISABLED"))
                    w->setEnabled(false);
                if (c.id != -1 || !m_items.contains(-1))
                    m_items.insert(c.id, w);
            }
        }
    }
    return OnInitDialog();
}

QWidget* CTemplateDialog::CreateControl(const ControlTemplate& c)
{
    const QString text =
        QString::fromStdString(c.text).replace(QStringLiteral("@VERSION@"), QStringLiteral(VELTRONA_VERSION));
    const std::string& k = c.kind;
    auto clicked = [this, id = c.id](QAbstractButton* button) {
        connect(button, &QAbstractButton::clicked, this, [this, id] {
            if (id == 1)
                OnOK();
            else if (id == 2)
                OnCancel();
            else
                OnCommand(id);
        });
    };
    if (k == "PUSHBUTTON" || k == "DEFPUSHBUTTON" || (k == "Button" && c.HasStyle("BS_PUSHBUTTON"))) {
        auto* b = new QPushButton(text, this);
        b->setAutoDefault(false);
        b->setDefault(k == "DEFPUSHBUTTON");
        clicked(b);
        return b;
    }
    if (k == "AUTOCHECKBOX" || k == "CHECKBOX" || k == "AUTO3STATE" || k == "STATE3" ||
        (k == "Button" && (c.HasStyle("BS_AUTOCHECKBOX") || c.HasStyle("BS_CHECKBOX")))) {
        auto* b = new QCheckBox(text, this);
        clicked(b);
        return b;
    }
    if (k == "AUTORADIOBUTTON" || k == "RADIOBUTTON" || (k == "Button" && c.HasStyle("BS_AUTORADIOBUTTON"))) {
        auto* b = new QRadioButton(text, this);
        clicked(b);
        return b;
    }
    if (k == "GROUPBOX" || (k == "Button" && c.HasStyle("BS_GROUPBOX"))) {
        auto* g = new QGroupBox(text, this);
        g->lower();
        return g;
    }
    if (k == "LTEXT" || k == "CTEXT" || k == "RTEXT" || k == "Static") {
        auto* l = new QLabel(text, this);
        l->setTextFormat(Qt::PlainText);
        l->setWordWrap(!c.HasStyle("SS_CENTERIMAGE") && !c.HasStyle("SS_LEFTNOWORDWRAP"));
        Qt::Alignment a = k == "CTEXT" || c.HasStyle("SS_CENTER")  ? Qt::AlignHCenter
                          : k == "RTEXT" || c.HasStyle("SS_RIGHT") ? Qt::AlignRight
                                                                   : Qt::AlignLeft;
        a |= c.HasStyle("SS_CENTERIMAGE") ? Qt::AlignVCenter : Qt::AlignTop;
        l->setAlignment(a);
        return l;
    }
    if (k == "EDITTEXT" || k == "Edit") {
        if (c.HasStyle("ES_MULTILINE")) {
            auto* e = new QPlainTextEdit(this);
            e->setReadOnly(c.HasStyle("ES_READONLY"));
            return e;
        }
        auto* e = new QLineEdit(this);
        e->setReadOnly(c.HasStyle("ES_READONLY"));
        return e;
    }
    if (k == "COMBOBOX" || k == "ComboBox") {
        auto* combo = new QComboBox(this);
        combo->setEditable(!c.HasStyle("CBS_DROPDOWNLIST"));
        return combo;
    }
    if (k == "LISTBOX" || k == "ListBox")
        return new QListWidget(this);
    if (k == "SysTreeView32") {
        auto* tree = new QTreeWidget(this);
        tree->setHeaderHidden(true);
        return tree;
    }
    if (k == "SysListView32") {
        auto* list = new QTreeWidget(this);
        list->setRootIsDecorated(false);
        list->setHeaderHidden(c.HasStyle("LVS_NOCOLUMNHEADER"));
        return list;
    }
    if (k == "msctls_progress32") {
        auto* bar = new QProgressBar(this);
        bar->setTextVisible(false);
        return bar;
    }
    if (k == "SysDateTimePick32") {
        auto* time = new QTimeEdit(this);
        time->setDisplayFormat(QStringLiteral("HH:mm:ss"));
        return time;
    }
    if (k == "msctls_updown32")
        return new QSpinBox(this);
    if (k == "SysTabControl32")
        return new QTabBar(this);
    TRACE_MSG(TRACE_ERROR, "Unknown control kind %s, Id = %d", k.c_str(), c.id);
    return nullptr;
}
