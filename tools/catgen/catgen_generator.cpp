#include "catgen/catgen_generator.h"

#include "catgen/catgen_vocab.h"
#include "data/codec.h"

#include <QDate>
#include <QDateTime>

#include <algorithm>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <unordered_map>

namespace catgen {
namespace {

// Exchange rates of the sample prices.
constexpr double kDollarRate = 26.5;
constexpr double kEuroRate = 34.2;

// One row of the working-time table; null pointers are SQL NULL.
struct WtRow {
    const char *allDays, *allTimes, *noBreaks, *days, *sw, *ew, *sb, *eb;
};

const std::vector<std::vector<WtRow>> &WorkTimePatterns()
{
    static const std::vector<std::vector<WtRow>> p = {
        {{"0", "0", "0", "12345", "09:00:00", "18:00:00", "13:00:00", "14:00:00"},
         {"0", "0", "1", "6", "10:00:00", "16:00:00", "00:00:00", "00:00:00"}},
        {{"1", "0", "1", "1234567", "10:00:00", "20:00:00", "00:00:00", "00:00:00"}},
        // Round the clock.
        {{"1", "1", "1", "1234567", "00:00:00", "00:00:00", "00:00:00", "00:00:00"}},
        {{"0", "0", "0", "12345", "08:00:00", "17:00:00", "12:00:00", "13:00:00"}},
        // Past midnight, break times unknown.
        {{"0", "0", "1", "567", "20:00:00", "02:00:00", nullptr, nullptr}},
        {{"0", "0", "1", "67", "11:00:00", "15:00:00", nullptr, nullptr}},
        {{"0", "0", "1", "135", "09:00:00", "13:00:00", "00:00:00", "00:00:00"},
         {"0", "0", "1", "24", "14:00:00", "19:00:00", "00:00:00", "00:00:00"}},
        {{"0", "0", "0", "123456", "09:00:00", "19:00:00", "14:00:00", "15:00:00"}},
        {{"1", "0", "0", "1234567", "08:00:00", "22:00:00", "13:00:00", "13:30:00"}},
    };
    return p;
}

struct CityStreets {
    std::vector<QByteArray> names; // index + 1 is the street id
    int dashStreet = 0;            // id of the street named "--"
    int untypedStreet = 0;         // id of the street whose type is missing
    int emptyTypeStreet = 0;       // id of the street whose type text is empty
};

struct FirmPlan {
    QByteArray name;
    int goods = 0;
    int addresses = 1;
    bool allDiscounts = false; // every kind of discount and promotion
    bool allWorkTimes = false; // one working-time pattern per address
    bool allWebKinds = false;  // every web row kind, invisible ones included
    bool oddAddress = false;   // first address on an odd street
    int oddKind = 0;           // 1 type missing, 2 named "--", 3 empty type; 0 by fid
    QByteArray firstGoodName;  // replaces the name of the firm's first good
};

class Generator
{
public:
    Generator(const CatalogueOptions &options, RowSink &sink)
        : m_options(options), m_sink(sink), m_rng(0xC0FFEE0000ULL ^ options.seed)
    {
        m_dbDate = QDateTime::fromString(options.dbDate, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!m_dbDate.isValid())
            throw std::runtime_error("invalid data date (expected YYYY-MM-DD hh:mm:ss): " +
                                     options.dbDate.toStdString());
        if (options.goods < 0)
            throw std::runtime_error("the number of goods must not be negative");
    }

    void Run();

private:
    template <class... A> void Emit(Table t, A &&...a)
    {
        const Value values[] = {Value(std::forward<A>(a))...};
        m_sink.Row(t, values, int(sizeof...(A)));
    }

    const QByteArray &Enc(const char16_t *text);
    template <class T> const T &Pick(const std::vector<T> &v) { return v[m_rng.Below(int(v.size()))]; }

    void EmitClassification();
    void EmitCity(const CityDef &city, long long goods);
    void EmitFirm(const CityDef &city, const CityStreets &streets, int fid, const FirmPlan &plan);
    FirmPlan RandomPlan(const CityDef &city, long long remaining);
    QByteArray RandomFirmName(const SectionDef &section);
    QByteArray PersonName();
    QByteArray LocalNumber(int digits);
    static QByteArray FormatLocal(const QByteArray &digits);
    QByteArray DateTimeBefore(int maxDays);
    void EmitPhones(const CityDef &city, int fid, int adrId, int &prior);
    void EmitGoods(const CityDef &city, int fid, const FirmPlan &plan, const std::vector<const SubsectionDef *> &subs,
                   const std::vector<const SectionDef *> &owners);

    const CatalogueOptions &m_options;
    RowSink &m_sink;
    Rng m_rng;
    QDateTime m_dbDate;
    std::unordered_map<const char16_t *, QByteArray> m_enc;
    long long m_nextGoodId = 1;
    std::map<std::pair<int, int>, long long> m_goodGidCnt;
    std::map<int, long long> m_goodCnt;
    std::map<int, long long> m_firmCnt;
    int m_cityDistricts = 0;
    int m_cityMicro = 0;
};

const QByteArray &Generator::Enc(const char16_t *text)
{
    auto it = m_enc.find(text);
    if (it != m_enc.end())
        return it->second;
    const QString s = QString::fromUtf16(text);
    if (!IsCp1251Encodable(s))
        throw std::runtime_error("sample text outside Windows-1251: " + s.toStdString());
    return m_enc.emplace(text, ToCp1251(s)).first->second;
}

void Generator::Run()
{
    for (const StreetTypeDef &t : StreetTypes())
        Emit(tStreetType, t.id, Enc(t.nameSmall));
    EmitClassification();

    long long totalWeight = 0;
    for (const CityDef &c : Cities())
        totalWeight += c.goodsWeight;
    long long assigned = 0;
    const CityDef *lastWeighted = nullptr;
    for (const CityDef &c : Cities())
        if (c.goodsWeight > 0)
            lastWeighted = &c;
    for (const CityDef &c : Cities()) {
        long long goods = 0;
        if (c.goodsWeight > 0) {
            goods = (&c == lastWeighted) ? m_options.goods - assigned : m_options.goods * c.goodsWeight / totalWeight;
            assigned += goods;
        }
        EmitCity(c, goods);
    }

    // Counters agree with the rows written above.
    for (const auto &[key, cnt] : m_goodGidCnt)
        Emit(tGoodGidCnt, key.first, key.second, cnt);
    for (const auto &[cid, cnt] : m_goodCnt)
        Emit(tGoodCnt, cid, cnt);
    for (const auto &[cid, cnt] : m_firmCnt)
        Emit(tFirmCnt, cid, cnt);

    Emit(tDbDate, ToCp1251(m_options.dbDate));
    Emit(tFiles, "banner", "m1.jpg", MakeBannerHex(1));
    Emit(tFiles, "banner", "m2.jpg", MakeBannerHex(2));
}

void Generator::EmitClassification()
{
    for (const SectionDef &s : Sections()) {
        Emit(tWsupergroup, s.superId, Enc(s.name));
        for (const SubsectionDef &g : s.subs)
            Emit(tWgroup, g.gid, s.superId, Enc(g.name));
    }
}

void Generator::EmitCity(const CityDef &city, long long goods)
{
    Emit(tCity, city.cid, Enc(city.name));

    // District 1 stands for the whole city.
    Emit(tCityRegion, city.cid, 1, "---", "---");
    int regionId = 2;
    for (const char16_t *d : city.districts) {
        const QByteArray name = Enc(d);
        Emit(tCityRegion, city.cid, regionId++, name, name + Enc(u" район"));
    }
    m_cityDistricts = regionId - 1;

    int microId = 1;
    if (!city.microDistricts.empty())
        Emit(tCityMicroRegion, city.cid, microId++, "--");
    for (const char16_t *m : city.microDistricts)
        Emit(tCityMicroRegion, city.cid, microId++, Enc(m));
    m_cityMicro = microId - 1;

    CityStreets streets;
    auto addStreet = [&](const QByteArray &name, int type) {
        streets.names.push_back(name);
        const int id = int(streets.names.size());
        Emit(tStreetName, city.cid, id, name, type);
        return id;
    };
    for (const StreetDef &s : SharedStreets())
        addStreet(Enc(s.name), s.typeId);
    for (const StreetDef &s : city.streets)
        addStreet(Enc(s.name), s.typeId);
    streets.dashStreet = addStreet("--", 1);
    streets.untypedStreet = addStreet(Enc(u"Объездная дорога"), kMissingStreetType);
    streets.emptyTypeStreet = addStreet(Enc(u"Проезд Тихий"), kEmptyStreetType);

    int fid = 1;
    long long remaining = goods;
    // The first firms of the main city carry the hard cases on purpose.
    if (city.cid == 343) {
        const auto &hard = HardFirmNames();
        for (size_t i = 0; i < hard.size(); ++i) {
            FirmPlan plan;
            plan.name = Enc(hard[i]);
            plan.addresses = (i == 0) ? 4 : (i == 2 ? 2 : 1);
            plan.goods = (i == 1) ? 0 : int(std::min<long long>(remaining, i == 0 ? 40 : 12));
            plan.allDiscounts = plan.allWorkTimes = plan.allWebKinds = (i == 0);
            plan.oddAddress = (i == 2 || i == 3 || i == 6);
            plan.oddKind = i == 2 ? 1 : i == 3 ? 2 : 3;
            if (i == 7) // a name over two lines, as some price lists have
                plan.firstGoodName = Enc(u"Подарочный набор\r\n(в ассортименте)");
            remaining -= plan.goods;
            EmitFirm(city, streets, fid++, plan);
        }
    }
    const int minFirms = city.goodsWeight > 0 ? 3 : std::max(3, m_options.goods / 1500);
    while (remaining > 0 || fid <= minFirms) {
        FirmPlan plan = RandomPlan(city, remaining);
        remaining -= plan.goods;
        EmitFirm(city, streets, fid++, plan);
    }
}

FirmPlan Generator::RandomPlan(const CityDef &city, long long remaining)
{
    FirmPlan plan;
    const int a = m_rng.Below(100);
    plan.addresses = a < 70 ? 1 : a < 88 ? 2 : a < 96 ? 3 : m_rng.Range(4, 6);
    if (city.goodsWeight > 0 && remaining > 0 && !m_rng.Chance(8)) {
        int k = m_rng.Chance(3) ? m_rng.Range(100, 500) : m_rng.Range(1, 29);
        plan.goods = int(std::min<long long>(k, remaining));
    }
    plan.oddAddress = m_rng.Chance(2);
    return plan;
}

QByteArray Generator::RandomFirmName(const SectionDef &section)
{
    const QByteArray form = Enc(Pick(LegalForms()));
    const NameWord &w = Pick(FirmWords());
    QByteArray name;
    switch (m_rng.Below(5)) {
    case 0: name = Enc(w.text) + Enc(section.firmWord); break;
    case 1: name = Enc(section.firmWord) + Enc(w.text); break;
    default: name = Enc(w.text); break;
    }
    if (form.isEmpty())
        return Enc(u"Магазин \"") + name + '"';
    if (form == Enc(u"ИП"))
        return form + ' ' + PersonName();
    return form + " \"" + name + '"';
}

QByteArray Generator::PersonName()
{
    const bool female = m_rng.Chance(50);
    QByteArray surname = Enc(Pick(Surnames()));
    if (female)
        surname += Enc(u"а");
    return surname + ' ' + Enc(female ? Pick(FemaleNames()) : Pick(MaleNames())) + ' ' +
           Enc(female ? Pick(FemalePatronymics()) : Pick(MalePatronymics()));
}

QByteArray Generator::LocalNumber(int digits)
{
    QByteArray d;
    d += char('2' + m_rng.Below(6));
    for (int i = 1; i < digits; ++i)
        d += char('0' + m_rng.Below(10));
    return d;
}

QByteArray Generator::FormatLocal(const QByteArray &d)
{
    // 371-25-40, 45-67-89, 6-45-12
    const int head = int(d.size()) - 4;
    return d.left(head) + '-' + d.mid(head, 2) + '-' + d.mid(head + 2, 2);
}

QByteArray Generator::DateTimeBefore(int maxDays)
{
    const QDate day = m_dbDate.date().addDays(-m_rng.Below(maxDays));
    QByteArray text = day.toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
    if (m_rng.Chance(40))
        return text + " 00:00:00";
    char buf[16];
    std::snprintf(buf, sizeof buf, " %02d:%02d:%02d", m_rng.Range(8, 19), m_rng.Below(60), m_rng.Below(60));
    return text + buf;
}

void Generator::EmitPhones(const CityDef &city, int fid, int adrId, int &prior)
{
    const QByteArray cityCode = QByteArray::number(city.cid);
    const int n = m_rng.Range(1, 3);
    for (int i = 0; i < n; ++i) {
        const int kind = m_rng.Below(100);
        QByteArray allinfo, code, phone;
        if (kind < 8) { // mobile: ten digits beginning with 9
            static const char *const operators[] = {"912", "922", "902", "950", "904", "908"};
            code = operators[m_rng.Below(6)];
            phone = LocalNumber(7);
            allinfo =
                "8-" + code + '-' + phone.left(3) + '-' + phone.mid(3, 2) + '-' + phone.mid(5, 2) + Enc(u" (сот.)");
        } else if (kind < 12) { // eleven digits with the trunk prefix
            code = '8' + cityCode;
            phone = LocalNumber(city.phoneDigits);
            allinfo = "8 (" + cityCode + ") " + FormatLocal(phone);
        } else if (kind < 15) { // shown text missing: counted, never listed
            code = cityCode;
            phone = LocalNumber(city.phoneDigits);
        } else {
            code = kind < 25 ? QByteArray() : cityCode; // empty code: the city's
            phone = LocalNumber(city.phoneDigits);
            allinfo = '(' + cityCode + ") " + FormatLocal(phone);
            if (m_rng.Chance(8))
                allinfo += Enc(u" (факс)");
            else if (m_rng.Chance(5))
                allinfo += Enc(u", многоканальный");
        }
        Emit(tPhone, city.cid, fid, adrId, allinfo, code, phone, prior++);
    }
}

void Generator::EmitGoods(const CityDef &city, int fid, const FirmPlan &plan,
                          const std::vector<const SubsectionDef *> &subs, const std::vector<const SectionDef *> &owners)
{
    for (int i = 0; i < plan.goods; ++i) {
        const int si = m_rng.Below(int(subs.size()));
        const SubsectionDef &sub = *subs[si];
        const SectionDef &section = *owners[si];
        QByteArray name = Enc(Pick(sub.items));
        if (m_rng.Chance(30))
            name += Enc(sub.service ? Pick(ServiceSuffixes()) : Pick(GoodsSuffixes()));
        const int caseKind = m_rng.Below(100);
        if (caseKind < 3) {
            for (char &c : name)
                c = char(Cp1251Upper(static_cast<unsigned char>(c)));
        } else if (caseKind < 5) {
            for (char &c : name)
                c = char(Cp1251Lower(static_cast<unsigned char>(c)));
        }

        const long long cents =
            (static_cast<long long>(sub.minPrice) + m_rng.Below(std::max(1, sub.maxPrice - sub.minPrice))) * 100 +
            (m_rng.Chance(50) ? 0 : (m_rng.Chance(50) ? 50 : 90));
        double price = cents / 100.0;
        double priceRub = price;
        QByteArray cur = "rubl";
        const int curKind = m_rng.Below(100);
        if (curKind < 2) {
            price = priceRub = 0; // price on request
        } else if (section.foreignPrices && curKind < 27) {
            const bool dollar = curKind < 19;
            const double rate = dollar ? kDollarRate : kEuroRate;
            cur = dollar ? "doll" : "euro";
            price = double(qRound64(cents / rate)) / 100.0;
            priceRub = double(qRound64(price * rate * 100.0)) / 100.0;
        } else if (curKind < 30) {
            cur = ""; // any other code means roubles
        }

        const int adrId =
            (plan.addresses > 1 ? m_rng.Chance(60) : m_rng.Chance(50)) ? 0 : m_rng.Range(1, plan.addresses);
        if (i == 0 && !plan.firstGoodName.isEmpty())
            name = plan.firstGoodName;
        Emit(tGood, city.cid, fid, adrId, m_nextGoodId++, sub.gid, section.superId, name, price, cur, priceRub);
        ++m_goodGidCnt[{city.cid, sub.gid}];
        ++m_goodCnt[city.cid];
    }
}

void Generator::EmitFirm(const CityDef &city, const CityStreets &streets, int fid, const FirmPlan &plan)
{
    const auto &sections = Sections();
    const SectionDef &section = Pick(sections);
    std::vector<const SubsectionDef *> subs;
    std::vector<const SectionDef *> owners;
    const int nsubs = std::min<int>(int(section.subs.size()), m_rng.Range(1, 3));
    const int first = m_rng.Below(int(section.subs.size()));
    for (int i = 0; i < nsubs; ++i) {
        subs.push_back(&section.subs[(first + i) % section.subs.size()]);
        owners.push_back(&section);
    }
    if (m_rng.Chance(10)) {
        const SectionDef &other = Pick(sections);
        subs.push_back(&Pick(other.subs));
        owners.push_back(&other);
    }

    const QByteArray name = plan.name.isEmpty() ? RandomFirmName(section) : plan.name;
    const int org = m_rng.Chance(90) ? 0 : m_rng.Range(1, 2);
    const QByteArray updateFirm = DateTimeBefore(900);
    const Value updatePrice = m_rng.Chance(5) ? Value() : Value(DateTimeBefore(400));
    Emit(tFirm, city.cid, fid, org, updateFirm, updatePrice, m_rng.Below(10));
    ++m_firmCnt[city.cid];

    const QByteArray cityName = Enc(city.name);
    for (int adr = 1; adr <= plan.addresses; ++adr) {
        QByteArray sfn = name;
        if (adr > 1 && m_rng.Chance(60))
            sfn += Enc(Pick(BranchSuffixes()));
        int street = m_rng.Range(1, int(streets.names.size()) - 3);
        Value house = QByteArray::number(m_rng.Range(1, 150));
        Value lit = m_rng.Chance(50) ? Value() : Value("");
        Value office = m_rng.Chance(50) ? Value() : Value("");
        Value ext = m_rng.Chance(60) ? Value() : Value("");
        if (m_rng.Chance(8)) {
            static const char16_t *const letters[] = {u"а", u"б", u"в", u"А", u"1", u"2"};
            lit = Enc(letters[m_rng.Below(6)]);
        }
        if (m_rng.Chance(30))
            office = QByteArray::number(m_rng.Range(1, 420));
        else if (m_rng.Chance(3))
            office = "0";
        if (m_rng.Chance(10))
            ext = Enc(Pick(AddressExtras()));
        if (m_rng.Chance(2))
            house = "0";
        if (plan.oddAddress && adr == 1) {
            const int kind = plan.oddKind ? plan.oddKind : 1 + fid % 3;
            if (kind == 3) {
                street = streets.emptyTypeStreet;
            } else {
                // No street type row, or the street "--"; the other parts NULL.
                street = kind == 1 ? streets.untypedStreet : streets.dashStreet;
                house = Value();
                lit = Value();
                office = Value();
                ext = Value();
            }
        }
        const int crId = m_rng.Chance(15) ? 1 : m_rng.Range(1, m_cityDistricts);
        const QByteArray streetName = streets.names[street - 1];
        const QByteArray houseText = house.kind == Value::Text ? house.t : QByteArray();
        QByteArray orderPost = streetName + ' ' + houseText.rightJustified(4, '0');
        QByteArray allinfo = Enc(u"г. ") + cityName + ", " + streetName;
        if (!houseText.isEmpty())
            allinfo += ' ' + houseText;
        if (office.kind == Value::Text && !office.t.isEmpty())
            allinfo += Enc(u", оф. ") + office.t;
        Emit(tAddress, city.cid, fid, adr, sfn, crId, street, house, lit, office, ext, orderPost, allinfo);

        const int micro = m_cityMicro > 1 ? m_rng.Below(3) : 0;
        for (int m = 0; m < micro; ++m)
            Emit(tAddressMicroRegion, city.cid, fid, adr, m_rng.Range(2, m_cityMicro));
    }

    // Telephones: per address, sometimes also for the whole firm.
    int prior = 1;
    if (m_rng.Chance(25) || plan.allDiscounts)
        EmitPhones(city, fid, 0, prior);
    for (int adr = 1; adr <= plan.addresses; ++adr)
        EmitPhones(city, fid, adr, prior);

    // Kinds of activity.
    for (const SubsectionDef *s : subs) {
        const int adr = (plan.addresses > 1 && m_rng.Chance(15)) ? m_rng.Range(1, plan.addresses) : 0;
        Emit(tAttr, city.cid, fid, adr, Enc(s->service ? u"Услуги: " : u"Продажа: ") + Enc(s->name));
    }
    if (m_rng.Chance(40))
        Emit(tAttr, city.cid, fid, 0, Enc(Pick(GeneralAttrs())));

    // Staff.
    const int people = m_rng.Below(5);
    for (int i = 0; i < people; ++i) {
        const int adr = (plan.addresses > 1 && m_rng.Chance(30)) ? m_rng.Range(1, plan.addresses) : 0;
        Emit(tPeople, city.cid, fid, adr, PersonName(), Enc(Pick(Posts())), m_rng.Chance(15) ? "0" : "1", i + 1);
    }

    // Discounts and promotions.
    const auto &discounts = Discounts();
    if (plan.allDiscounts) {
        for (size_t i = 0; i < discounts.size(); ++i) {
            const DiscountDef &d = discounts[i];
            Emit(tDiscount, city.cid, fid, int(i % 3 == 2 ? 1 : 0), d.tp, Enc(d.name), d.startDate, d.endDate);
        }
    } else if (m_rng.Chance(30)) {
        const int n = m_rng.Range(1, 3);
        for (int i = 0; i < n; ++i) {
            const DiscountDef &d = Pick(discounts);
            const int adr = m_rng.Chance(70) ? 0 : m_rng.Range(1, plan.addresses);
            Emit(tDiscount, city.cid, fid, adr, d.tp, Enc(d.name), d.startDate, d.endDate);
        }
    }

    // Transport per address.
    for (int adr = 1; adr <= plan.addresses; ++adr) {
        if (!m_rng.Chance(60))
            continue;
        static const char16_t *const kinds[] = {u"Авт. ", u"Тролл. ", u"Трамв. ", u"Маршрутное такси 0"};
        const int n = m_rng.Range(1, 2);
        for (int i = 0; i < n; ++i) {
            QByteArray text;
            if (!city.transportExtra.empty() && m_rng.Chance(20)) {
                text = Enc(Pick(city.transportExtra));
            } else {
                text = Enc(kinds[m_rng.Below(4)]) + QByteArray::number(m_rng.Range(1, 60));
                for (int k = m_rng.Below(3); k > 0; --k)
                    text += ", " + QByteArray::number(m_rng.Range(1, 90));
            }
            // A single address's directions are often kept for the whole firm.
            Emit(tTransport, city.cid, fid, plan.addresses == 1 && i == 0 && m_rng.Chance(30) ? 0 : adr, text, i + 1);
        }
    }

    // Web sites, e-mail and ICQ.
    const NameWord &w = Pick(FirmWords());
    const QByteArray domain = QByteArray(w.latin) + '-' + section.firmLatin + ".ru";
    int webPrior = 1;
    auto web = [&](const char *tp, const QByteArray &value, const QByteArray &who, const char *visible) {
        Emit(tWeb, city.cid, fid, 0, tp, value, who, visible, webPrior++);
    };
    const QByteArray icq = QByteArray::number(100000000 + m_rng.Below(899999999));
    if (plan.allWebKinds) {
        web("w", "www." + domain, "", "1");
        web("e", "info@" + domain, Enc(u"отдел продаж"), "1");
        web("i", icq, Enc(u"менеджер Ольга"), "1");
        web("x", "", Enc(u"круглосуточная справочная"), "1");
        web("e", "old@" + domain, "", "0");
    } else {
        if (m_rng.Chance(50))
            web("w", "www." + domain, "", m_rng.Chance(10) ? "0" : "1");
        if (m_rng.Chance(50))
            web("e", (m_rng.Chance(50) ? "info@" : "sales@") + domain,
                m_rng.Chance(40) ? Enc(Pick(WebWho())) : QByteArray(), m_rng.Chance(10) ? "0" : "1");
        if (m_rng.Chance(10))
            web("i", icq, m_rng.Chance(50) ? Enc(Pick(WebWho())) : QByteArray(), "1");
        if (m_rng.Chance(3))
            web("x", "", Enc(Pick(WebWho())), "1");
    }

    // Working time: for the whole firm or per address.
    const auto &patterns = WorkTimePatterns();
    auto emitWt = [&](int adr, const std::vector<WtRow> &rows) {
        const QByteArray who = m_rng.Chance(15) ? Enc(Pick(WorkTimeWho())) : QByteArray();
        for (const WtRow &r : rows) {
            auto t = [](const char *s) { return s ? Value(s) : Value(); };
            Emit(tWt, city.cid, fid, adr, r.allDays, r.allTimes, r.noBreaks, r.days, t(r.sw), t(r.ew), t(r.sb), t(r.eb),
                 who);
        }
    };
    if (plan.allWorkTimes) {
        emitWt(0, patterns[0]);
        for (size_t p = 1; p < patterns.size(); ++p)
            emitWt(int((p - 1) % plan.addresses) + 1, patterns[p]);
    } else if (m_rng.Chance(85)) {
        if (plan.addresses == 1 || m_rng.Chance(60)) {
            emitWt(0, Pick(patterns));
        } else {
            for (int adr = 1; adr <= plan.addresses; ++adr)
                emitWt(adr, Pick(patterns));
        }
    }

    EmitGoods(city, fid, plan, subs, owners);
}

} // namespace

void GenerateCatalogue(const CatalogueOptions &options, RowSink &sink)
{
    Generator(options, sink).Run();
}

} // namespace catgen
