#include "catgen/catgen_schema.h"

namespace catgen {

std::vector<TableDef> CatalogueTables(bool withPrd)
{
    using C = ColType;
    std::vector<TableDef> t(kTableCount);
    t[tCity] = {"city", {{"cid", C::Key64}, {"name", C::Text, 20}}};
    t[tWsupergroup] = {"wsupergroup", {{"super_id", C::Key32}, {"name", C::Text, 255}}};
    t[tWgroup] = {"wgroup", {{"gid", C::Key32}, {"super_id", C::Key32}, {"name", C::Text, 255}}};
    t[tStreetType] = {"street_type", {{"id", C::Key32}, {"name_small", C::Text, 255}}};
    t[tStreetName] = {"street_name",
                      {{"cid", C::Key64}, {"id", C::Key32}, {"name", C::Text, 255}, {"strt_id", C::Key32}}};
    t[tCityRegion] = {"city_region",
                      {{"cid", C::Key64}, {"id", C::Key32}, {"name_small", C::Text, 255}, {"name_big", C::Text, 255}}};
    t[tCityMicroRegion] = {"city_micro_region", {{"cid", C::Key64}, {"id", C::Key32}, {"name", C::Text, 255}}};
    t[tFirm] = {"firm",
                {{"cid", C::Key64},
                 {"fid", C::Key64},
                 {"org", C::Int},
                 {"update_firm", C::DateTime},
                 {"update_price", C::DateTime}}};
    if (withPrd)
        t[tFirm].columns.push_back({"prd", C::Int});
    t[tAddress] = {"address",
                   {{"cid", C::Key64},
                    {"fid", C::Key64},
                    {"adr_id", C::Key32},
                    {"sfn", C::Text, 255},
                    {"cr_id", C::Key32},
                    {"strn_id", C::Key32},
                    {"house", C::Text, 10},
                    {"lit", C::Text, 10},
                    {"office", C::Text, 10},
                    {"ext", C::Text, 100},
                    {"order_post", C::Text, 255},
                    {"allinfo", C::Text, 255}}};
    t[tAddressMicroRegion] = {"address_micro_region",
                              {{"cid", C::Key64}, {"fid", C::Key64}, {"adr_id", C::Key32}, {"cmr_id", C::Key32}}};
    t[tGood] = {"good",
                {{"cid", C::Key64},
                 {"fid", C::Key64},
                 {"adr_id", C::Key32},
                 {"id", C::Key64},
                 {"gid", C::Key32},
                 {"super_id", C::Key32},
                 {"name", C::Text, 255},
                 {"price", C::Real},
                 {"cur", C::Text, 10},
                 {"price_rub", C::Real}}};
    t[tPhone] = {"phone",
                 {{"cid", C::Key64},
                  {"fid", C::Key64},
                  {"adr_id", C::Key32},
                  {"allinfo", C::Text, 255},
                  {"code", C::Text, 10},
                  {"phone", C::Text, 20},
                  {"prior", C::Int}}};
    t[tPeople] = {"people",
                  {{"cid", C::Key64},
                   {"fid", C::Key64},
                   {"adr_id", C::Key32},
                   {"name", C::Text, 255},
                   {"post", C::Text, 255},
                   {"visible", C::Text, 1},
                   {"prior", C::Int}}};
    t[tAttr] = {"attr", {{"cid", C::Key64}, {"fid", C::Key64}, {"adr_id", C::Key32}, {"attr", C::Text, 255}}};
    t[tDiscount] = {"discount",
                    {{"cid", C::Key64},
                     {"fid", C::Key64},
                     {"adr_id", C::Key32},
                     {"tp", C::Text, 1},
                     {"name", C::Text, 255},
                     {"start_date", C::Date},
                     {"end_date", C::Date}}};
    t[tTransport] = {
        "transport",
        {{"cid", C::Key64}, {"fid", C::Key64}, {"adr_id", C::Key32}, {"name", C::Text, 255}, {"prior", C::Int}}};
    t[tWeb] = {"web",
               {{"cid", C::Key64},
                {"fid", C::Key64},
                {"adr_id", C::Key32},
                {"tp", C::Text, 1},
                {"name", C::Text, 255},
                {"who", C::Text, 255},
                {"visible", C::Text, 1},
                {"prior", C::Int}}};
    t[tWt] = {"wt",
              {{"cid", C::Key64},
               {"fid", C::Key64},
               {"adr_id", C::Key32},
               {"AllDays", C::Text, 1},
               {"AllTimes", C::Text, 1},
               {"NoBreaks", C::Text, 1},
               {"days", C::Text, 7},
               {"sw", C::Time},
               {"ew", C::Time},
               {"sb", C::Time},
               {"eb", C::Time},
               {"who", C::Text, 255}}};
    t[tGoodGidCnt] = {"good_gid_cnt", {{"cid", C::Key64}, {"gid", C::Key32}, {"cnt", C::Int}}};
    t[tGoodCnt] = {"good_cnt", {{"cid", C::Key64}, {"cnt", C::Int}}};
    t[tFirmCnt] = {"firm_cnt", {{"cid", C::Key64}, {"cnt", C::Int}}};
    t[tDbDate] = {"db_date", {{"db_date", C::DateTime}}};
    t[tFiles] = {"files", {{"prefix", C::Text, 50}, {"name", C::Text, 255}, {"body", C::LongText}}};
    return t;
}

const std::vector<IndexDef> &CatalogueIndexes()
{
    // The keys the searches, the card and the tree look rows up by.
    static const std::vector<IndexDef> indexes = {
        {"city_cid", tCity, "cid"},
        {"wsupergroup_id", tWsupergroup, "super_id"},
        {"wgroup_gid", tWgroup, "gid"},
        {"wgroup_super", tWgroup, "super_id,gid"},
        {"street_type_id", tStreetType, "id"},
        {"street_name_key", tStreetName, "cid,id"},
        {"city_region_key", tCityRegion, "cid,id"},
        {"city_micro_region_key", tCityMicroRegion, "cid,id"},
        {"firm_key", tFirm, "cid,fid"},
        {"address_key", tAddress, "cid,fid,adr_id"},
        {"address_region", tAddress, "cid,cr_id"},
        {"address_street", tAddress, "cid,strn_id"},
        {"amr_key", tAddressMicroRegion, "cid,fid,adr_id"},
        {"amr_region", tAddressMicroRegion, "cid,cmr_id"},
        {"good_key", tGood, "cid,fid,adr_id"},
        {"good_gid", tGood, "gid"},
        {"good_cid_gid", tGood, "cid,gid"},
        {"good_cid_super", tGood, "cid,super_id"},
        {"good_cid_id", tGood, "cid,id"},
        {"phone_key", tPhone, "cid,fid,adr_id"},
        {"people_key", tPeople, "cid,fid,adr_id"},
        {"attr_key", tAttr, "cid,fid,adr_id"},
        {"discount_key", tDiscount, "cid,fid,adr_id"},
        {"transport_key", tTransport, "cid,fid,adr_id"},
        {"web_key", tWeb, "cid,fid,adr_id"},
        {"wt_key", tWt, "cid,fid,adr_id"},
        {"good_gid_cnt_key", tGoodGidCnt, "cid,gid"},
        {"good_gid_cnt_gid", tGoodGidCnt, "gid"},
        {"good_cnt_cid", tGoodCnt, "cid"},
        {"firm_cnt_cid", tFirmCnt, "cid"},
        {"files_key", tFiles, "prefix,name"},
    };
    return indexes;
}

void TableRowCounts::Fill(const std::vector<TableDef> &tables, CatalogueStats *stats) const
{
    if (!stats)
        return;
    stats->clear();
    for (size_t i = 0; i < tables.size(); ++i)
        (*stats)[tables[i].name] = rows[i];
}

} // namespace catgen
