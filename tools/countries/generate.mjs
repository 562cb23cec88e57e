// Builds the country table (src/messagestore/resources/countries.db) from
// packaged public numbering data. Not run by the build: run it by hand after
// `npm ci` in this folder and commit the database it writes.
//
//   node generate.mjs [output path]
//
// Sources, per column of "countries":
//   sn            the fixed list of 242 codes below
//   pnum          libphonenumber-js metadata: country calling code
//   numc          libphonenumber-js metadata: possible lengths of the mobile
//                 number type (the general lengths when a country has none)
//   r1            libphonenumber-js metadata: mobile number pattern (the
//                 fixed-line one where both are the same)
//   u2            libphonenumber-js metadata: national prefix
//   r2, r3, r4    libphonenumber-js metadata: format patterns, templates and
//                 their most specific leading-digit patterns ("main" country
//                 of the calling code when a territory has none of its own)
//   mnc_rx        libphonenumber-js metadata: international dialling prefix
//   mmc           mcc-mnc-list: each MCC belongs to the country with most of
//                 its national networks (an ISO 3166-2 code such as GE-AB
//                 counts for its country); then the fixed rules below
//   n, ln         countries-list: English and native names
// Rows marked as fixed below override the packaged data.

import { createRequire } from 'node:module';
import { writeFileSync, mkdirSync } from 'node:fs';
import { dirname, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const require = createRequire(import.meta.url);
const here = dirname(fileURLToPath(import.meta.url));
const phoneMeta = require('libphonenumber-js/metadata.max.json');
const mccNetworks = require('mcc-mnc-list/mcc-mnc-list.json');
const { countries: countryNames } = require('countries-list');
const initSqlJs = require('sql.js');

const output = resolve(process.argv[2] ?? resolve(here, '../../src/messagestore/resources/countries.db'));

const CODES = `AC AD AE AF AG AI AL AM AO AR AS AT AU AW AX AZ BA BB BD BE BF BG BH BI BJ BL
BM BN BO BQ BR BS BT BW BY BZ CA CC CD CF CG CH CI CK CL CM CN CO CR CU CV CW CX CY CZ DE DJ DK DM
DO DZ EC EE EG ER ES ET FI FJ FK FM FO FR GA GB GD GE GF GG GH GI GL GM GN GP GQ GR GT GU GW GY HK
HN HR HT HU ID IE IL IM IN IO IQ IR IS IT JE JM JO JP KE KG KH KI KM KN KP KR KW KY KZ LA LB LC LI
LK LR LS LT LU LV LY MA MC MD ME MF MG MH MK ML MM MN MO MP MQ MR MS MT MU MV MW MX MY MZ NA NC NE
NF NG NI NL NO NP NR NU NZ OM PA PE PF PG PH PK PL PM PR PS PT PW PY QA RE RO RS RU RW SA SB SC SD
SE SG SH SI SJ SK SL SM SN SO SR SS ST SV SX SY SZ TC TD TG TH TJ TK TL TM TN TO TR TT TV TW TZ UA
UG US UY UZ VA VC VE VG VI VN VU WF WS YE YT ZA ZM ZW`.split(/\s+/);

// MCC rules that the packaged network list cannot express: shared MCCs, the
// countries that list several, and the "999" group of places without one.
const FIXED_MCC = {
  GB: '234,235', GG: '234,235', IM: '234,235', JE: '234,235',
  GP: '340', MQ: '340', BL: '340', MF: '340', GF: '742',
  BQ: '362', CW: '362', SX: '362',
  YT: '654', KM: '654',
  US: '310,311,312,313,314,315,316',
  IN: '404,405', JP: '440,441', AE: '424,430,431',
  // ITU-T E.212 assignments of places whose networks the list files under
  // another country's MCC (or does not list).
  GU: '535', MP: '534', VI: '332', VA: '225', PS: '425', PR: '330', RE: '647',
};
for (const sn of ['AX', 'AC', 'IO', 'CX', 'CC', 'NF', 'SH', 'TK', 'TV', 'SJ']) FIXED_MCC[sn] = '999';

// The country that mmc_sn names for a shared MCC.
const MCC_OWNER = { 234: 'GB', 235: 'GB', 340: 'GP', 362: 'BQ', 654: 'YT', 999: 'AX' };

// Rows the application's behaviour is defined by.
const FIXED_ROWS = {
  CN: { pnum: '86', mmc: '460', numc: '11', n: 'China', r1: '1(?:3\\d|4[57]|[58][0-35-9])\\d{8}|184\\d{8}' },
  IN: { pnum: '91', mmc: '404,405', numc: '10', n: 'India', r1: '[7-9]\\d{9}' },
  JP: { pnum: '81', mmc: '440,441', numc: '10', n: 'Japan', r1: '(?:[79]0\\d|80[1-9])\\d{7}' },
  FR: { pnum: '33', mmc: '208', numc: '9', n: 'France',
        r1: '63[0-8]\\d{6}|69[157-9]\\d{6}|6[0-24-8]\\d{7}|7[5-9]\\d{7}' },
  AX: { pnum: '358', mmc: '999', numc: '6,7,8,9,10,11', n: 'Åland Islands', r1: '4\\d{5,10}|50\\d{4,8}' },
  AC: { pnum: '247', mmc: '999', numc: '4', n: 'Ascension Island', r1: '' },
  // No mobile pattern is kept for these two.
  SH: { r1: '' },
  VA: { r1: '' },
};

// libphonenumber-js compressed metadata (version 4) field positions.
const M = { callingCode: 0, idd: 1, possibleLengths: 3, formats: 4, nationalPrefix: 5, types: 11 };
const FIXED_LINE_TYPE = 0;
const MOBILE_TYPE = 1;

function phoneRow(sn) {
  const m = phoneMeta.countries[sn];
  if (!m) throw new Error(`no numbering metadata for ${sn}`);
  const types = m[M.types] ?? [];
  const mobile = types[MOBILE_TYPE];
  // An empty mobile pattern means "the same as fixed line" (North America).
  const mobilePattern = mobile ? mobile[0] || (types[FIXED_LINE_TYPE]?.[0] ?? '') : '';
  const lengths = (mobile && mobile[1]) || m[M.possibleLengths] || [];
  // Territories without formats of their own use those of the calling
  // code's main country.
  const main = phoneMeta.countries[phoneMeta.country_calling_codes[m[M.callingCode]][0]];
  const formats = m[M.formats] || main[M.formats] || [];
  return {
    pnum: m[M.callingCode],
    numc: lengths.join(','),
    u2: m[M.nationalPrefix] || '',
    r1: mobilePattern,
    r2: formats.map((f) => f[0]).join(';'),
    r3: formats.map((f) => f[1]).join(';'),
    r4: formats.map((f) => (f[2] && f[2].length ? f[2][f[2].length - 1] : '')).join(';'),
    mnc_rx: m[M.idd] || '',
  };
}

function mccOwners() {
  const counts = new Map(); // mcc -> Map(sn -> networks)
  for (const net of mccNetworks) {
    if (net.type !== 'National' || !net.mcc || !net.countryCode) continue;
    for (const code of net.countryCode.split('/')) {
      const sn = code.split('-')[0];
      if (!counts.has(net.mcc)) counts.set(net.mcc, new Map());
      const c = counts.get(net.mcc);
      c.set(sn, (c.get(sn) ?? 0) + 1);
    }
  }
  const owners = new Map();
  for (const [mcc, c] of counts) {
    // Most networks wins; ties go to the first code in order.
    const best = [...c.entries()].sort((a, b) => b[1] - a[1] || a[0].localeCompare(b[0]))[0][0];
    owners.set(mcc, best);
  }
  return owners;
}

function buildRows(owners) {
  const owned = new Map();
  for (const [mcc, sn] of owners) {
    if (!owned.has(sn)) owned.set(sn, []);
    owned.get(sn).push(mcc);
  }
  return CODES.map((sn) => {
    const names = countryNames[sn];
    if (!names) throw new Error(`no names for ${sn}`);
    const mmc = FIXED_MCC[sn] ?? (owned.get(sn) ?? []).sort().join(',');
    const row = { sn, ln: names.native, ...phoneRow(sn), mmc, n: names.name };
    Object.assign(row, FIXED_ROWS[sn] ?? {});
    if (!/^\d{3}(,\d{3})*$/.test(row.mmc)) throw new Error(`bad MCC list for ${sn}: "${row.mmc}"`);
    if (!/^\d+$/.test(row.pnum)) throw new Error(`bad calling code for ${sn}`);
    return row;
  });
}

function mccTable(rows, owners) {
  const table = new Map();
  for (const row of rows) {
    for (const mcc of row.mmc.split(',')) {
      const prior = table.get(mcc);
      if (!prior) {
        table.set(mcc, row.sn);
      } else if (MCC_OWNER[mcc]) {
        table.set(mcc, MCC_OWNER[mcc]);
      } else {
        // Otherwise the country that owns most of the MCC's networks.
        const owner = owners.get(mcc);
        if (owner !== prior && owner !== row.sn) throw new Error(`MCC ${mcc} has no owner`);
        table.set(mcc, owner);
      }
    }
  }
  return [...table.entries()].sort((a, b) => a[0].localeCompare(b[0]));
}

const SCHEMA = `
CREATE TABLE countries (sn CHAR(2) PRIMARY KEY, ln TEXT, pnum TEXT, mmc TEXT, numc TEXT, u2 TEXT,
                        r1 TEXT, r2 TEXT, r3 TEXT, r4 TEXT, mnc_rx TEXT, n TEXT);
CREATE INDEX index_countries_pnum ON countries (pnum);
CREATE TABLE mmc_sn (mmc CHAR(3) PRIMARY KEY, sn CHAR(2));
CREATE INDEX index_mmc_sn ON mmc_sn (sn);
`;

const SQL = await initSqlJs();
const db = new SQL.Database();
db.run(SCHEMA);
const owners = mccOwners();
const rows = buildRows(owners);
const mccs = mccTable(rows, owners);
db.run('BEGIN');
const insertCountry = db.prepare(
  'INSERT INTO countries (sn, ln, pnum, mmc, numc, u2, r1, r2, r3, r4, mnc_rx, n) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)');
for (const r of rows)
  insertCountry.run([r.sn, r.ln, r.pnum, r.mmc, r.numc, r.u2, r.r1, r.r2, r.r3, r.r4, r.mnc_rx, r.n]);
insertCountry.free();
const insertMcc = db.prepare('INSERT INTO mmc_sn (mmc, sn) VALUES (?, ?)');
for (const [mcc, sn] of mccs) insertMcc.run([mcc, sn]);
insertMcc.free();
db.run('COMMIT');
db.run('VACUUM');
const bytes = db.export();
db.close();

mkdirSync(dirname(output), { recursive: true });
writeFileSync(output, bytes);
console.log(`${output}: ${rows.length} countries, ${mccs.length} MCCs, ${bytes.length} bytes`);
