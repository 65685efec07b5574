// The reader's page in Debian's Chromium, driven by playwright-core: the page loads without any
// request leaving the file, the process table sorts by memory when its column headers are
// clicked (numbers as numbers, both ways), the services table filters, and the accessibility
// check finds no serious violation. Prints the figures: rows and columns, time to render.
//   node page_test.mjs PAGE.html SCREENSHOT.png
import { createRequire } from 'module';
import { chromium } from 'playwright-core';

const require = createRequire(import.meta.url);
const [pagePath, screenshot] = process.argv.slice(2);
const fail = (message) => { console.log('FAIL: ' + message); process.exit(1); };

const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu'],
});
try {
  const context = await browser.newContext({ viewport: { width: 1280, height: 1200 } });
  const outside = [];
  await context.route('**/*', (route) => {
    const url = route.request().url();
    if (url.startsWith('file://')) return route.continue();
    outside.push(url);
    return route.abort();
  });
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  const started = Date.now();
  await page.goto('file://' + pagePath, { waitUntil: 'load' });
  const renderMs = Date.now() - started;
  if (outside.length) fail('the page asked the network for ' + outside.join(', '));
  if (errors.length) fail('script errors: ' + errors.join('; '));

  const tables = await page.$$eval('table', (ts) => ts.map((t) => ({
    id: t.id || t.closest('section').id,
    rows: t.tBodies[0].rows.length,
    columns: t.tHead.rows[0].cells.length,
  })));
  for (const t of tables) console.log(`table ${t.id}: ${t.rows} rows, ${t.columns} columns`);
  console.log(`time to render: ${renderMs} ms`);

  const headers = (table) => page.$$eval(`#t-${table} thead th`, (ths) => ths.map((th) => th.textContent));
  const column = (table, index) => page.$$eval(`#t-${table} tbody tr`, (rows, i) =>
    rows.filter((r) => !r.hidden).map((r) => r.cells[i].textContent), index);
  const processHeaders = await headers('processes');
  for (const [name, direction] of [['working_set_mb', 'ascending'], ['working_set_mb', 'descending'],
                                   ['private_mb', 'ascending']]) {
    const index = processHeaders.indexOf(name);
    if (index < 0) fail('no column ' + name + ' in the process table: ' + processHeaders);
    await page.click(`#t-processes thead th:nth-child(${index + 1}) button`);
    const values = (await column('processes', index)).map(Number);
    const sorted = [...values].sort((a, b) => direction === 'ascending' ? a - b : b - a);
    if (values.length < 2 || values.some((v, i) => v !== sorted[i]))
      fail(`processes by ${name} ${direction}: ${values}`);
    const aria = await page.getAttribute(`#t-processes thead th:nth-child(${index + 1})`, 'aria-sort');
    if (aria !== direction) fail(`aria-sort of ${name} is ${aria}, not ${direction}`);
    console.log(`processes sorted by ${name} ${direction}: ${values.join(' ')}`);
  }

  const query = 'drivers\\';
  const all = await page.$$eval('#t-services tbody tr', (rows) => rows.map((r) => r.textContent.toLowerCase()));
  const expected = all.filter((text) => text.includes(query)).length;
  if (expected === 0 || expected === all.length) fail('the filter case needs some but not all services to match');
  await page.fill('#f-services', query);
  const shown = await page.$$eval('#t-services tbody tr', (rows) => rows.filter((r) => !r.hidden).length);
  const status = await page.textContent('#c-services');
  if (shown !== expected || status !== `${expected} of ${all.length} rows`)
    fail(`services filtered by "${query}": ${shown} shown, status "${status}", expected ${expected}`);
  console.log(`services filtered by "${query}": ${status}`);
  await page.fill('#f-services', '');

  await page.addScriptTag({ path: require.resolve('axe-core/axe.min.js') });
  const results = await page.evaluate(() => window.axe.run(document, { resultTypes: ['violations'] }));
  const serious = results.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical');
  for (const v of results.violations) console.log(`accessibility: ${v.impact} ${v.id} (${v.nodes.length})`);
  if (serious.length) fail('serious accessibility violations: ' + serious.map((v) => v.id).join(', '));
  console.log(`accessibility: ${results.violations.length} violations, none serious`);

  await page.screenshot({ path: screenshot, fullPage: true });
  console.log('screenshot: ' + screenshot);
} finally {
  await browser.close();
}
