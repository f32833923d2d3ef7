#include "wizard/preview_frame.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "uikit/code_page_text.h"
#include "wizard/code_page_validator.h"
#include "wizard/visible_bytes.h"

namespace tallivo {

namespace {

QString Html(std::string_view bytes) {
    QString html;
    for (const VisiblePiece& piece : VisiblePieces(bytes)) {
        const QString text = QString::fromUtf8(piece.text.data(), static_cast<qsizetype>(piece.text.size()));
        switch (piece.kind) {
            case VisiblePiece::Kind::Literal:
                html += text.toHtmlEscaped();
                break;
            case VisiblePiece::Kind::Control:
                html += QStringLiteral("<span style=\"color:#000000; background-color:#FFC040;\">%1</span>")
                            .arg(text.toHtmlEscaped());
                break;
            case VisiblePiece::Kind::Blank:
                html += QStringLiteral(
                            "<span style=\"color:#FFFFFF; background-color:#2860B0; "
                            "font-weight:bold;\">%1</span>")
                            .arg(text);
                break;
        }
    }
    return html;
}

QString Plain(std::string_view bytes) {
    const std::string text = VisibleText(bytes);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string_view WithoutLineEnd(const std::string& line) {
    return std::string_view(line).substr(0, line.size() >= 2 ? line.size() - 2 : 0);
}

struct Row {
    QString caption;
    QString html;
    QString count;
    QString plain;
};

QString Count(std::size_t bytes) {
    return bytes == 1 ? QStringLiteral("(1 byte + CR LF)") : QStringLiteral("(%1 bytes + CR LF)").arg(bytes);
}

Row BytesRow(const QString& caption, std::string_view bytes) {
    return {caption, Html(bytes), Count(bytes.size()), Plain(bytes) + QLatin1Char(' ') + Count(bytes.size())};
}

Row LineRow(const char* caption, const FramingLine& line) {
    if (!line.present) {
        return {QString::fromLatin1(caption),
                QStringLiteral("<span style=\"color:#808080;\">none</span>"),
                {},
                QStringLiteral("none")};
    }
    if (line.badCode) {
        const QString note = QStringLiteral("not a character code: nothing is written");
        return {QString::fromLatin1(caption), note, {}, note};
    }
    return BytesRow(QString::fromLatin1(caption), WithoutLineEnd(line.bytes));
}

// A remark under a line, in the colour of its weight.
void AddNote(Row& row, const QString& note, const char* colour) {
    row.html += QStringLiteral("<br><span style=\"color:%1;\">%2</span>")
                    .arg(QString::fromLatin1(colour), note.toHtmlEscaped());
    row.plain += QStringLiteral(" (") + note + QLatin1Char(')');
}

// The save refuses a "Characher (ASCII)" mode at "NONE" and an empty "String".
void NoteRefusedMode(Row& row, const std::string& mode, const std::string& value) {
    if (mode == "1" && value == "NONE")
        AddNote(row, QStringLiteral("no character chosen: saving will refuse"), "#FF6060");
    if (mode == "2" && value.empty())
        AddNote(row, QStringLiteral("empty string: saving will refuse"), "#FF6060");
}

}  // namespace

PreviewFrame::PreviewFrame(QWidget* parent) : QGroupBox(QStringLiteral("Preview"), parent) {
    setObjectName(QStringLiteral("PreviewFrame"));
    sampleCaption_ = new QLabel(QStringLiteral("Sample terminal line:"));
    sampleCaption_->setObjectName(QStringLiteral("PreviewSampleCaption"));
    sample_ = new QLineEdit(QString::fromLatin1(kPreviewSampleLine));
    sample_->setObjectName(QStringLiteral("PreviewSample"));
    sample_->setValidator(new CodePageValidator(sample_));
    sample_->setAccessibleName(QStringLiteral("Sample terminal line"));
    sample_->setToolTip(
        QStringLiteral("A line as the terminal delivers it; used for the preview only, not saved"));
    sampleCaption_->setBuddy(sample_);

    display_ = new QLabel;
    display_->setObjectName(QStringLiteral("PreviewText"));
    display_->setAccessibleName(QStringLiteral("Record preview"));
    display_->setTextFormat(Qt::RichText);
    display_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    display_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    display_->setStyleSheet(QStringLiteral(
        "QLabel#PreviewText { color: #00FF00; background-color: #000000; border: 1px solid #606060; "
        "padding: 3px 4px; }"));
    display_->setToolTip(QStringLiteral(
        "[NAME] is a control character, \u2423 a blank; every other character is written as shown"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(sampleCaption_, 0, 0);
    grid->addWidget(sample_, 0, 1);
    grid->addWidget(display_, 1, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    connect(sample_, &QLineEdit::textChanged, this, &PreviewFrame::Refresh);
}

void PreviewFrame::setSettingsSource(std::function<Settings()> source) {
    source_ = std::move(source);
    Refresh();
}

void PreviewFrame::watch(const Form12aControls& c) {
    for (QComboBox* list : {c.Combo1, c.Combo2, c.Combo3, c.Combo4, c.Combo5, c.Combo6, c.Combo7, c.Combo8,
                            c.Combo9, c.Combo10, c.Combo11, c.Combo12, c.Combo13, c.Combo14}) {
        connect(list, &QComboBox::currentIndexChanged, this, &PreviewFrame::Refresh);
    }
    for (QComboBox* list :
         {c.Combo1, c.Combo2, c.Combo3, c.Combo4, c.Combo5, c.Combo6, c.Combo7, c.Combo9, c.Combo12}) {
        const auto name = [list](const QString& code) {
            const std::string tip = CharacterTooltip(code.toLatin1().toStdString());
            list->setToolTip(QString::fromUtf8(tip.data(), static_cast<qsizetype>(tip.size())));
        };
        connect(list, &QComboBox::currentTextChanged, list, name);
        name(list->currentText());
    }
    for (QCheckBox* box : {c.Check1, c.Check2, c.Check3, c.Check4, c.Check5, c.Check6}) {
        connect(box, &QCheckBox::stateChanged, this, &PreviewFrame::Refresh);
    }
    for (QButtonGroup* group : {c.FileHeaderGroup, c.FileTerminatorGroup, c.ExistingFileGroup,
                                c.BarcodeSideGroup, c.QuantitySideGroup}) {
        connect(group, &QButtonGroup::buttonToggled, this, &PreviewFrame::Refresh);
    }
    for (QLineEdit* box : {c.Text1, c.Text2, c.Text3, c.Text4}) {
        connect(box, &QLineEdit::textChanged, this, &PreviewFrame::Refresh);
    }
    Refresh();
}

void PreviewFrame::Refresh() {
    if (!source_) return;
    const Settings settings = source_();
    lines_ = MakePreviewLines(settings, BytesOrQuestionMarks(sample_->text()));

    std::vector<Row> rows;
    Row header = LineRow("File header", lines_.header);
    NoteRefusedMode(header, settings.FileHeaderMode, settings.FileHeaderValue);
    if (lines_.header.present && settings.ExistingFilePolicy == "2") {
        AddNote(header, QStringLiteral("written only when the output file is new"), "#A0A0A0");
    }
    rows.push_back(header);

    Row record = BytesRow(QStringLiteral("Record"), WithoutLineEnd(lines_.record));
    if (!lines_.formatted) {
        AddNote(record, QStringLiteral("fewer than two \";\" or an impossible fill: written as read"),
                "#FFC040");
    }
    if (!lines_.badSetting.empty()) {
        AddNote(record,
                QStringLiteral("%1 is not a character code: polling will not run")
                    .arg(QString::fromStdString(lines_.badSetting)),
                "#FF6060");
    }
    rows.push_back(record);

    Row terminator = LineRow("File terminator", lines_.trailer.terminator);
    NoteRefusedMode(terminator, settings.FileTerminatorMode, settings.FileTerminatorValue);
    rows.push_back(terminator);
    rows.push_back(LineRow("End-of-file message", lines_.trailer.endOfFileMessage));

    QString html = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"1\">");
    QStringList plain;
    for (const Row& row : rows) {
        // The count has a column of its own, so it never reads as part of the line.
        html += QStringLiteral(
                    "<tr><td style=\"color:#A0A0A0; padding-right:10px;\">%1</td><td>%2</td>"
                    "<td style=\"color:#A0A0A0; padding-left:14px;\">%3</td></tr>")
                    .arg(row.caption.toHtmlEscaped(), row.html, row.count);
        plain << row.caption + QStringLiteral(": ") + row.plain;
    }
    html += QStringLiteral("</table>");
    display_->setText(html);
    display_->setAccessibleDescription(plain.join(QLatin1Char('\n')));
}

}  // namespace tallivo
