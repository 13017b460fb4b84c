#!/usr/bin/env python3
"""Regenerates the files shipped beside the executable from editable sources.

Writes flat-XML sources (data/src/*.fods, *.fodt) and the reference lists, then converts the
sources to Excel 97-2003 / Word 97-2003 with LibreOffice (headless). The build itself uses only
the committed results; run this script after changing a source:

    python3 tools/make_data.py            # sources + lists + conversion
    python3 tools/make_data.py --no-convert
"""
import os
import shutil
import subprocess
import sys
import tempfile
from xml.sax.saxutils import escape

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "data")
SRC = os.path.join(DATA, "src")

W = [[1, 2, 3, 4, 5, 6, 7], [7, 1, 2, 3, 4, 5, 6], [3, 4, 5, 6, 7, 8, 9], [9, 3, 4, 5, 6, 7, 8]]


def control_digit(first7):
    row = 1 if 3000000 <= first7 <= 6000000 else 0
    def variant(r):
        n, s = first7, 0
        for i in range(6, -1, -1):
            s += (n % 10) * W[r][i]
            n //= 10
        return s % 11
    c = variant(row)
    if c == 10:
        c = variant(row + 2)
        if c == 10:
            c = 0
    return c


def code(first7):
    return "%07d%d" % (first7, control_digit(first7))


# ----------------------------------------------------------------------------------------------
# Flat ODS writer

def cell(v, style=None):
    st = ' table:style-name="%s"' % style if style else ""
    if v is None or v == "":
        return "<table:table-cell%s/>" % st
    if isinstance(v, (int, float)) and not isinstance(v, bool):
        return ('<table:table-cell%s office:value-type="float" office:value="%r"><text:p>%s</text:p>'
                "</table:table-cell>" % (st, v, v))
    return '<table:table-cell%s office:value-type="string"><text:p>%s</text:p></table:table-cell>' % (
        st, escape(str(v)))


def sheet_xml(name, rows, widths=None, header_rows=0):
    """rows: dict row_number(1-based) -> list of values (column A first)."""
    out = ['<table:table table:name="%s">' % escape(name)]
    for w in widths or []:
        out.append('<table:table-column table:style-name="%s"/>' % w)
    last = max(rows) if rows else 0
    r = 1
    while r <= last:
        if r not in rows:
            n = 1
            while r + n <= last and (r + n) not in rows:
                n += 1
            out.append('<table:table-row table:number-rows-repeated="%d"><table:table-cell/></table:table-row>' % n)
            r += n
            continue
        style = "hdr" if r <= header_rows else None
        out.append("<table:table-row>" + "".join(cell(v, style if v not in (None, "") else None)
                                                for v in rows[r]) + "</table:table-row>")
        r += 1
    out.append("</table:table>")
    return "\n".join(out)


COLUMN_STYLES = {"narrow": "1.2cm", "mid": "3cm", "wide": "7cm", "huge": "12cm"}


def fods(sheets):
    cols = "".join(
        '<style:style style:name="%s" style:family="table-column"><style:table-column-properties '
        'style:column-width="%s"/></style:style>' % (k, v) for k, v in COLUMN_STYLES.items())
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
            'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
            'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
            'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
            'xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" '
            'office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">\n'
            "<office:automatic-styles>" + cols +
            '<style:style style:name="hdr" style:family="table-cell"><style:table-cell-properties '
            'fo:wrap-option="wrap"/><style:text-properties fo:font-weight="bold"/></style:style>'
            "</office:automatic-styles>\n"
            "<office:body><office:spreadsheet>\n" + "\n".join(sheets) +
            "\n</office:spreadsheet></office:body></office:document>\n")


# ----------------------------------------------------------------------------------------------
# The report template

TABLE1 = [
    "п.1 Загальна площа нерухомого майна на балансі, кв. м",
    "п.2 Площа, надана в оренду, кв. м (Σ гр.7 таб.2 і таб.5)",
    "п.3 Нараховано орендної плати за звітний період, грн (Σ гр.11 таб.2 і таб.5)",
    "п.4 Нараховано орендної плати за договорами з орендною платою 1 грн, грн (Σ гр.12 таб.2 і таб.5)",
    "п.5 Отримано орендної плати всього за звітний період, грн (Σ гр.13 таб.2 і таб.5)",
    "п.6 з неї перераховано до бюджету, грн (Σ гр.14 таб.2 і таб.5)",
    "п.7 Загальна заборгованість по орендній платі, грн (Σ гр.7 таб.3 і таб.6)",
    "п.8 з неї за звітний період, грн (Σ гр.8 таб.3 і таб.6)",
    "п.9 Заборгованість, що підлягає перерахуванню до бюджету, грн (Σ гр.13 таб.3 і таб.6)",
    "п.10 Нараховано 50% орендної плати до бюджету за звітний період, грн",
    "п.11 Перераховано 50% орендної плати до бюджету за звітний період, грн",
    "п.12 з них за попередні періоди, грн",
    "п.13 Заборгованість з перерахування 50% орендної плати до бюджету, грн",
    "п.14 з неї понад 30 днів, грн",
    "п.15 Кількість договорів оренди цілісних майнових комплексів",
    "п.16 Кількість діючих договорів оренди ЦМК",
    "п.17 Площа, надана в оренду у складі ЦМК, кв. м",
    "п.18 Нараховано орендної плати за договорами оренди ЦМК, грн",
    "п.19 Перераховано 50% орендної плати за договорами оренди ЦМК, грн",
    "п.20 Заборгованість за договорами оренди ЦМК, грн",
    "п.21 Перераховано до бюджету м. Києва, грн",
]

TENANT_HEADERS = [
    "№ з/п", "Код ЄДРПОУ орендаря", "Назва орендаря", "Код ЄДРПОУ орендодавця", "Назва орендодавця",
    "Оренда рухомого майна (Так/Ні)", "Площа, надана в оренду. Всього, кв. м",
    "в т.ч. з орендною платою у відсотках від вартості, кв. м", "в т.ч. з орендною платою 1 грн, кв. м",
    "Площа, надана в погодинну оренду, кв. м", "Нараховано орендної плати за звітний період, грн",
    "Нараховано за договорами з платою 1 грн, грн", "Отримано орендної плати за звітний період, грн",
    "з неї перераховано до бюджету, грн",
]

DEBT_HEADERS = [
    "№ з/п", "Код ЄДРПОУ боржника", "Назва боржника", "Код ЄДРПОУ орендодавця", "Назва орендодавця",
    "Оренда рухомого майна (Так/Ні)", "Заборгованість всього, грн", "з неї за звітний період, грн",
    "поточна, грн", "прострочена до 3 місяців, грн", "прострочена понад 3 місяці, грн", "безнадійна, грн",
    "підлягає перерахуванню до бюджету, грн", "списано, грн", "Кількість заходів. Всього",
    "з них за звітний період", "Кількість позовів до суду. Всього", "з них за звітний період",
    "Задоволено позовів. Всього", "з них за звітний період", "Відкрито виконавчих впроваджень. Всього",
    "з них за звітний період", "Погашено заборгованості. Всього, грн", "з неї за звітний період, грн",
]

FREE_HEADERS = [
    "№ з/п", "Район", "Назва вулиці", "Тип вулиці", "Номер будинку",
    "Загальна площа приміщення на балансі, кв. м", "Площа, надана в оренду, кв. м",
    "Вільні приміщення. Загальна площа, кв. м", "з неї корисна площа, кв. м", "з неї площа МЗК, кв. м",
    "Місце розташування вільного приміщення (поверх)", "Технічний стан", "Енергозабезпечення (так/ні)",
    "Водозабезпечення (так/ні)", "Теплозабезпечення (так/ні)", "Можливе використання приміщення", "Примітка",
]


def general_sheet(values=None, last_row=37):
    values = values or {}
    rows = {
        1: ["Звіт про нарахування та надходження орендної плати за використання державного майна"],
        2: ["(заповнюйте лише стовпець B; не змінюйте підписи в стовпці A)"],
        4: ["Період звітності:", values.get(4, "")],
        5: ["Рік", values.get(5, "")],
        6: ["Станом на (дата)", values.get(6, "")],
        7: ["Ідентифікаційний код балансоутримувача (ЄДРПОУ)", values.get(7, "")],
        8: ["Назва балансоутримувача", values.get(8, "")],
        9: ["Таблиця 1"],
    }
    for i, label in enumerate(TABLE1):
        rows[10 + i] = [label, values.get(10 + i, "")]
    for r, label in [(32, "Адреса електронної пошти для зв'язку з балансоутримувачем"),
                     (33, "Контактний телефон"), (34, "Відповідальний виконавець"), (35, "Керівник"),
                     (36, "Головний бухгалтер"), (37, "Поштова адреса для листування")]:
        rows[r] = [label, values.get(r, "")]
    rows[12] = rows[12] + [""] * 16 + ["Дата перевірки:"]
    rows = {r: v for r, v in rows.items() if r <= last_row}
    return sheet_xml("Загальні дані", rows, ["huge", "wide"], header_rows=1)


def table_sheet(name, title, headers, data=(), widths=None):
    rows = {1: [title], 2: [""], 3: headers, 6: [str(i + 1) for i in range(len(headers))]}
    rows[4] = [""]
    for i, values in enumerate(data):
        rows[7 + i] = values
    return sheet_xml(name, rows, widths or ["narrow"] + ["mid"] * (len(headers) - 1), header_rows=3)


def report(general=None, t2=(), t3=(), free=(), t5=(), t6=()):
    return fods([
        general_sheet(general),
        table_sheet("Таблиця 2", "Таблиця 2. Договори оренди", TENANT_HEADERS, t2),
        table_sheet("Таблиця 3", "Таблиця 3. Заборгованість з орендної плати та заходи з її стягнення",
                    DEBT_HEADERS, t3),
        table_sheet("Інші відомості", "Інші відомості. Вільні приміщення", FREE_HEADERS, free),
        table_sheet("Таблиця 5", "Таблиця 5. Договори оренди рухомого майна та інші договори", TENANT_HEADERS, t5),
        table_sheet("Таблиця 6", "Таблиця 6. Заборгованість за договорами таблиці 5", DEBT_HEADERS, t6),
    ])


def log_template():
    rows = {1: ["Аркуш", "Рядок", "Стовпець", "Повідомлення", "Дата і час перевірки"]}
    return fods([sheet_xml("Протокол", rows, ["mid", "narrow", "narrow", "huge", "mid"], header_rows=1)])


# ----------------------------------------------------------------------------------------------
# The sample report: a plausible filled report with a handful of typical mistakes.

HOLDER = code(2345671)
TENANTS = [(code(3100012), "ТОВ «Світанок»", "Ні"), (code(2200345), "ПП «Карпати-Сервіс»", "Ні"),
           (code(1400567), "ФОП Мельник О. П.", "Так"), (code(3300789), "ТОВ «Дніпро-Трейд»", "Ні")]


def sample():
    lessor = HOLDER
    t2 = []
    for i, (c, n, kind) in enumerate(TENANTS[:3]):
        g = [120.5, 64.0, 30.25][i]
        h = [100.5, 64.0, 30.25][i]
        t2.append([i + 1, c, n, lessor, "Балансоутримувач", kind, g, h, g - h, 0, 15000 + 1000 * i, 0,
                   14000 + 1000 * i, 7000 + 500 * i])
    # A typical slip: running number typed twice, and the area split that does not add up.
    t2.append([3, TENANTS[3][0], TENANTS[3][1], lessor, "Балансоутримувач", "Ні", 80, 50, 20, 0, 9000, 0, 9500, 4000])
    t3 = [[1, TENANTS[0][0], TENANTS[0][1], lessor, "Балансоутримувач", "Ні", 1000, 200, 500, 300, 200, 0,
           500, 0, 3, 1, 1, 0, 1, 0, 0, 0, 400, 100],
          [2, code(4400011), "ТОВ «Невідомий»", lessor, "Балансоутримувач", "Ні", 500, 500, 200, 100, 100, 50,
           250, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0]]
    free = [[1, "Печерський", "Хрещатик", "вулиця", "10", 350.5, 0, 45.2, 40, 5.2, "1", "задовільний",
             "так", "так", "так", "офісне", "-"],
            [2, "Оболонський", "Героїв Дніпра", "проспект", "7-А", 120, 0, 30, 30, 0, "цокольний",
             "добрий", "так", "ні", "Так", "Офісне", ""]]
    t5 = [[1, code(5100032), "ПАТ «Київ-Транс»", lessor, "Балансоутримувач", "Так", 0, 0, 0, 0, 2000, 0, 2000, 1000]]
    t6 = []
    s_g = sum(r[6] for r in t2 + t5)
    general = {4: 12, 5: 2026, 6: "01.01.2027", 7: HOLDER, 8: "Державне підприємство «Укрбудінвест»",
               10: 1500.75, 11: s_g, 12: sum(r[10] for r in t2 + t5), 13: 0,
               14: sum(r[12] for r in t2 + t5), 15: sum(r[13] for r in t2 + t5), 16: 1500, 17: 700, 18: 750,
               19: 0, 20: 0, 21: 0, 22: 0, 23: 0, 24: 0, 25: 0, 26: 0, 27: 0, 28: 0, 29: 0, 30: 0,
               32: "info@ukrbudinvest.gov.ua", 33: "(044) 555-12-34", 34: "Коваленко І. В.",
               35: "Петренко В. М.", 36: "Сидоренко Л. А.", 37: "01001, м. Київ, вул. Хрещатик, 10"}
    return report(general, t2, t3, free, t5, t6)


# ----------------------------------------------------------------------------------------------
# The instruction document

README_PARAS = [
    ("h", "Brantovel — інструкція користувача"),
    ("p", "Програма перевіряє заповнений звіт про нарахування та надходження орендної плати (файл zvit.xls) "
          "перед поданням. Усі файли лежать у теці програми: zvit.xls (звіт), elog.xls (шаблон протоколу), "
          "readme.doc (ця інструкція) і шість списків: GUOZ.bin, CMK.bin, KYIV.bin, ZFB.bin, MAYNO.bin, SR.bin."),
    ("h", "Порядок роботи"),
    ("p", "1. Натисніть «Заповнити/Редагувати звіт». Звіт відкриється в табличному редакторі. Заповніть "
          "стовпець B аркуша «Загальні дані» та рядки таблиць, починаючи з 7-го рядка під рядком нумерації "
          "граф. Не змінюйте назви аркушів, їх порядок і підписи в стовпці A. Збережіть файл у форматі "
          "Excel 97-2003 (.xls) і закрийте редактор."),
    ("p", "2. Натисніть «Контроль звіту». Програма перевірить усі аркуші, запише час перевірки в клітинку "
          "S13 першого аркуша та збереже звіт."),
    ("p", "3. Якщо знайдено помилки, програма запропонує переглянути протокол zvit_log.xls. Кожен рядок "
          "протоколу — одна помилка: аркуш, рядок, стовпець, повідомлення і час перевірки. Виправте звіт і "
          "повторіть перевірку."),
    ("p", "4. Якщо помилок немає, програма запропонує зберегти копію звіту; за назву пропонується "
          "ідентифікаційний код балансоутримувача. Саме цю копію подають разом зі звітністю."),
    ("h", "Що означають повідомлення"),
    ("p", "«... не заповнений», «Не заповнено: ...» — обов'язкове значення відсутнє."),
    ("p", "«Невірно заповнений п.N таб.1», «Невірно заповнено: ...» — у клітинці не число або значення "
          "не відповідає правилам. Десятковим роздільником може бути кома або крапка; не ставте пробілів "
          "усередині чисел."),
    ("p", "«Невірний код ...(код)» — ідентифікаційний код ЄДРПОУ має 8 цифр (10 для фізичних осіб) і "
          "правильну контрольну цифру. Вводьте код як текст, щоб не втратити нулі на початку."),
    ("p", "«п.N таб.1 < > Σ ...» — підсумок таблиці 1 не збігається з сумою відповідних граф таблиць 2, 3, 5 "
          "або 6 (допускається розбіжність до 0,09)."),
    ("p", "«гр.7 <> гр.8+гр.9», «гр.7 <> гр.9+гр.10+гр.11+гр.12» — частини не складаються в загальну суму."),
    ("p", "«Не знайдений в таб. 2 орендар ...» — боржника таблиці 3 (6) немає серед орендарів таблиці 2 (5) "
          "з тим самим кодом і тим самим видом оренди («Так» — рухоме майно)."),
    ("p", "«Невірний порядковий номер запису.» — номер у стовпці A має дорівнювати номеру рядка мінус 6."),
    ("p", "«Рядок не оброблено.» — рядок не перевірено: порожній рядок усередині таблиці, не заповнено код "
          "або назву, дані почато не з 7-го рядка, або в рядку є текст замість числа."),
    ("p", "«Невірно заповнено: Район.» — назви району немає у списку SR.bin."),
    ("p", "«Лист не оброблений!.» — аркуш з невідомою назвою; не перейменовуйте аркуші звіту."),
    ("h", "Перевірка без вікна"),
    ("p", "Команда brantovel-check [--dir ТЕКА] виконує ту саму перевірку і друкує помилки в консоль; "
          "код завершення 0 — помилок немає, 1 — є помилки, 2 — перевірку не виконано."),
]


def readme_fodt():
    body = []
    for kind, text in README_PARAS:
        tag = "text:h" if kind == "h" else "text:p"
        extra = ' text:outline-level="1"' if kind == "h" else ""
        body.append("<%s%s>%s</%s>" % (tag, extra, escape(text), tag))
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
            'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2" '
            'office:mimetype="application/vnd.oasis.opendocument.text">\n'
            "<office:body><office:text>\n" + "\n".join(body) + "\n</office:text></office:body></office:document>\n")


# ----------------------------------------------------------------------------------------------
# The reference lists, written as a Ukrainian Windows computer writes them: Windows-1251, CR LF.

LISTS = {
    "GUOZ.bin": [code(1000123), code(1999990)],
    "CMK.bin": [code(2100456), code(2900001)],
    "KYIV.bin": [HOLDER, code(1000123), code(2100456)],
    "ZFB.bin": [code(2500007), code(2600004)],
    "MAYNO.bin": [code(2600004)],
    "SR.bin": ["ГОЛОСІЇВСЬКИЙ", "ДАРНИЦЬКИЙ", "ДЕСНЯНСЬКИЙ", "ДНІПРОВСЬКИЙ", "ОБОЛОНСЬКИЙ", "ПЕЧЕРСЬКИЙ",
               "ПОДІЛЬСЬКИЙ", "СВЯТОШИНСЬКИЙ", "СОЛОМ'ЯНСЬКИЙ", "ШЕВЧЕНКІВСЬКИЙ"],
}


def write(path, text, encoding="utf-8"):
    with open(path, "w", encoding=encoding, newline="") as f:
        f.write(text)


def convert(sources, fmt, outdir):
    profile = tempfile.mkdtemp(prefix="lo-profile-")
    try:
        subprocess.run(["soffice", "-env:UserInstallation=file://" + profile, "--headless", "--convert-to", fmt,
                        "--outdir", outdir] + sources, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=600)
    finally:
        shutil.rmtree(profile, ignore_errors=True)


def main():
    os.makedirs(SRC, exist_ok=True)
    write(os.path.join(SRC, "zvit.fods"), report())
    write(os.path.join(SRC, "elog.fods"), log_template())
    write(os.path.join(SRC, "sample-zvit.fods"), sample())
    write(os.path.join(SRC, "readme.fodt"), readme_fodt())
    for name, lines in LISTS.items():
        write(os.path.join(DATA, name), "".join(l + "\r\n" for l in lines), encoding="cp1251")
    if "--no-convert" in sys.argv:
        return
    tmp = tempfile.mkdtemp()
    try:
        convert([os.path.join(SRC, n) for n in ("zvit.fods", "elog.fods", "sample-zvit.fods")], "xls", tmp)
        convert([os.path.join(SRC, "readme.fodt")], "doc:MS Word 97", tmp)
        shutil.copy(os.path.join(tmp, "zvit.xls"), os.path.join(DATA, "zvit.xls"))
        shutil.copy(os.path.join(tmp, "elog.xls"), os.path.join(DATA, "elog.xls"))
        shutil.copy(os.path.join(tmp, "readme.doc"), os.path.join(DATA, "readme.doc"))
        os.makedirs(os.path.join(DATA, "sample"), exist_ok=True)
        shutil.copy(os.path.join(tmp, "sample-zvit.xls"), os.path.join(DATA, "sample", "zvit.xls"))
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
