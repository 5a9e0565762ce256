-- tree root
select  r.name_big as name_big, a.cid as cid, a.fid as fid, a.adr_id as adr_id,a.sfn as sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,y.name as city_name  from  address a, street_name s, street_type t, city y, city_region r  where  a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and r.cid=a.cid and r.id=a.cr_id 
 random() 
-- tree city
select  r.name_big as name_big, a.cid as cid, a.fid as fid, a.adr_id as adr_id,a.sfn as sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,y.name as city_name  from  address a, street_name s, street_type t, city y, city_region r  where  a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and r.cid=a.cid and r.id=a.cr_id  and a.cid=3452
 random() 
-- tree ignores the filters
select  r.name_big as name_big, a.cid as cid, a.fid as fid, a.adr_id as adr_id,a.sfn as sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,y.name as city_name  from  address a, street_name s, street_type t, city y, city_region r  where  a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and r.cid=a.cid and r.id=a.cr_id  and a.cid=3452
 random() 
-- name
select  distinct  r.name_big as name_big, a.cid as cid, a.fid as fid, a.adr_id as adr_id,a.sfn as sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,y.name as city_name  from  address a, street_name s, street_type t, city y, city_region r  where  a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and r.cid=a.cid and r.id=a.cr_id  and  (( postext('ЁЛКА' , a.sfn)>0 ) OR postext('ЁЖИК' , a.sfn)>0)
 random() 
-- address
select  distinct  r.name_big as name_big, a.cid as cid, a.fid as fid, a.adr_id as adr_id,a.sfn as sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,y.name as city_name  from  address a, street_name s, street_type t, city y, city_region r  where  a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and r.cid=a.cid and r.id=a.cr_id  and  (( postext('ЛЕНИНА' , substr(ifnull(' '||s.name,'')||ifnull(' '||house,'')||ifnull(' '||lit,'')||ifnull(' '||office,'')||ifnull(' '||ext,''),2))>0 ) AND postext('5' , substr(ifnull(' '||s.name,'')||ifnull(' '||house,'')||ifnull(' '||lit,'')||ifnull(' '||office,'')||ifnull(' '||ext,''),2))>0)
 random() 
-- activity
select  distinct  r.name_big as name_big, a.cid as cid, a.fid as fid, a.adr_id as adr_id,a.sfn as sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,y.name as city_name  from  address a, street_name s, street_type t, city y, city_region r , attr b  where  a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and r.cid=a.cid and r.id=a.cr_id  and a.cid=b.cid and a.fid=b.fid and (b.adr_id = a.adr_id OR b.adr_id = 0) and  ( postext('ПРОДАЖА' , b.attr)>0)
 random() 
-- telephone
select  distinct  r.name_big as name_big, a.cid as cid, a.fid as fid, a.adr_id as adr_id,a.sfn as sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,y.name as city_name  from  address a, street_name s, street_type t, city y, city_region r , phone c  where  a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and r.cid=a.cid and r.id=a.cr_id  and a.cid=c.cid and a.fid=c.fid and (c.adr_id = a.adr_id OR c.adr_id = 0) and  ( postext('371' , c.allinfo)>0)
 random() 
-- web
select  distinct  r.name_big as name_big, a.cid as cid, a.fid as fid, a.adr_id as adr_id,a.sfn as sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,y.name as city_name  from  address a, street_name s, street_type t, city y, city_region r , web d  where  a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and r.cid=a.cid and r.id=a.cr_id  and a.cid=d.cid and a.fid=d.fid and (d.adr_id = a.adr_id OR d.adr_id = 0) and ( (( postext('INFO' , d.name)>0 ) AND( postext('' , d.name)>0 ) AND NOT postext('OLD' , d.name)>0) or  (( postext('INFO' , d.who)>0 ) AND( postext('' , d.who)>0 ) AND NOT postext('OLD' , d.who)>0))
 random() 
-- staff
select  distinct  r.name_big as name_big, a.cid as cid, a.fid as fid, a.adr_id as adr_id,a.sfn as sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,y.name as city_name  from  address a, street_name s, street_type t, city y, city_region r , people e  where  a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and r.cid=a.cid and r.id=a.cr_id  and a.cid=e.cid and a.fid=e.fid and (e.adr_id = a.adr_id OR e.adr_id = 0) and  ( postext('ИВАНОВ' , e.name)>0)
 random() 
-- district
select  distinct  r.name_big as name_big, a.cid as cid, a.fid as fid, a.adr_id as adr_id,a.sfn as sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,y.name as city_name  from  address a, street_name s, street_type t, city y, city_region r  where  a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and r.cid=a.cid and r.id=a.cr_id  and a.cid=343 and  ( postext('А' , a.sfn)>0) and a.cr_id=3
 random() 
-- micro-district
select  distinct  r.name_big as name_big, a.cid as cid, a.fid as fid, a.adr_id as adr_id,a.sfn as sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,y.name as city_name  from  address a, street_name s, street_type t, city y, city_region r  where  a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and r.cid=a.cid and r.id=a.cr_id  and a.cid=343 and  ( postext('А' , a.sfn)>0) and exists (select * from address_micro_region d where d.cid=a.cid and d.fid=a.fid and d.adr_id=a.adr_id and d.cmr_id=5) 
 random() 
-- working now
select  distinct  r.name_big as name_big, a.cid as cid, a.fid as fid, a.adr_id as adr_id,a.sfn as sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,y.name as city_name  from  address a, street_name s, street_type t, city y, city_region r , wt  where  a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and r.cid=a.cid and r.id=a.cr_id  and  ( postext('А' , a.sfn)>0) and wt.cid = a.cid and wt.fid = a.fid AND (wt.adr_id = a.adr_id OR wt.adr_id = 0) and  checkwt(wt.AllDays,wt.AllTimes,wt.NoBreaks,wt.days,wt.sw,wt.ew,wt.sb,wt.eb)=1 
 random() 
-- discount
select  distinct  r.name_big as name_big, a.cid as cid, a.fid as fid, a.adr_id as adr_id,a.sfn as sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,y.name as city_name  from  address a, street_name s, street_type t, city y, city_region r  where  a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and r.cid=a.cid and r.id=a.cr_id  and  ( postext('А' , a.sfn)>0) and exists (select * from discount d where d.cid=a.cid and d.fid=a.fid and d.adr_id in (0,a.adr_id) and d.tp='d' and end_date>='2026-12-09' and start_date<='2026-12-09') 
 random() 
-- prd order
select  distinct  r.name_big as name_big, a.cid as cid, a.fid as fid, a.adr_id as adr_id,a.sfn as sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,y.name as city_name  from  address a, street_name s, street_type t, city y, city_region r  where  a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and r.cid=a.cid and r.id=a.cr_id  and  ( postext('А' , a.sfn)>0)
 random() 
-- all together
select  distinct  r.name_big as name_big, a.cid as cid, a.fid as fid, a.adr_id as adr_id,a.sfn as sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,y.name as city_name  from  address a, street_name s, street_type t, city y, city_region r , attr b , phone c , web d , people e , wt  where  a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and r.cid=a.cid and r.id=a.cr_id  and a.cid=343 and  ( postext('ООО' , a.sfn)>0) and  ( postext('МИРА' , substr(ifnull(' '||s.name,'')||ifnull(' '||house,'')||ifnull(' '||lit,'')||ifnull(' '||office,'')||ifnull(' '||ext,''),2))>0) and a.cid=b.cid and a.fid=b.fid and (b.adr_id = a.adr_id OR b.adr_id = 0) and  ( postext('УСЛУГИ' , b.attr)>0) and a.cid=c.cid and a.fid=c.fid and (c.adr_id = a.adr_id OR c.adr_id = 0) and  ( postext('(343)' , c.allinfo)>0) and a.cid=d.cid and a.fid=d.fid and (d.adr_id = a.adr_id OR d.adr_id = 0) and ( ( postext('RU' , d.name)>0) or  ( postext('RU' , d.who)>0)) and a.cid=e.cid and a.fid=e.fid and (e.adr_id = a.adr_id OR e.adr_id = 0) and  ( postext('АННА' , e.name)>0) and a.cr_id=2 and exists (select * from address_micro_region d where d.cid=a.cid and d.fid=a.fid and d.adr_id=a.adr_id and d.cmr_id=3)  and wt.cid = a.cid and wt.fid = a.fid AND (wt.adr_id = a.adr_id OR wt.adr_id = 0) and  checkwt(wt.AllDays,wt.AllTimes,wt.NoBreaks,wt.days,wt.sw,wt.ew,wt.sb,wt.eb)=1  and exists (select * from discount d where d.cid=a.cid and d.fid=a.fid and d.adr_id in (0,a.adr_id) and d.tp='d' and end_date>='2026-12-09' and start_date<='2026-12-09') 
 random() 
