// The commentator screens in a browser. It reads each screen's state, as
// the venue's record rules wrote it, from the retained messages on
// TOPIC/view/<screen> (README.md, "View messages") and draws it; it reads
// no records itself. Address: index.html?broker=ws://HOST:9001&topic=orvane/feed
// (&user=viewer&password=...&screen=scratch&delay=30), all optional.
(function () {
  'use strict';

  const params = new URLSearchParams(window.location.search);
  const secure = window.location.protocol === 'https:';
  const BROKER = params.get('broker') ||
      (secure ? 'wss://' : 'ws://') + (window.location.host || 'localhost:9001');
  const TOPIC = params.get('topic') || 'orvane/feed';
  const USER = params.has('user') ? params.get('user') : 'viewer';
  const PASSWORD = params.get('password') || '';
  const VERSION = 1;
  const MAX_BYTES = 1 << 21;       // far above the largest document
  const MAX_HELD = 20000;          // messages waiting out the delay
  const MAX_DELAY_S = 600;
  const SCREENS = ['scratch', 'points_race', 'sprint', 'time_trial', 'quick_text', 'log'];

  const docs = {};        // the latest document drawn, per screen
  const stats = {paints: [], messages: 0, refused: 0};
  let front = null;       // the screen the feed last brought forward
  let frontSequence = -1;
  let pinned = SCREENS.includes(params.get('screen')) ? params.get('screen') : null;
  let viewerSprint = null;  // the viewer's own choice of sprint; null: the venue's
  let connection = 'connecting';
  let feed = null;          // the venue's status document
  let delayS = clampDelay(Number(params.get('delay')) || 0);
  const held = [];
  const card = window.orvaneRiderCard ? window.orvaneRiderCard(TOPIC) : null;

  function clampDelay(seconds) {
    return Math.max(0, Math.min(MAX_DELAY_S, Math.floor(seconds) || 0));
  }

  function $(selector, root) { return (root || document).querySelector(selector); }
  function section(screen) { return document.getElementById('screen-' + screen); }

  // --- Drawing ---------------------------------------------------------

  function cellText(rows, row, col) {
    const cells = rows[row];
    return cells && typeof cells[col] === 'string' ? cells[col] : '';
  }

  // A grid document as a table: its heading row as <th scope=col>, its
  // heading column as <th scope=row>, columns of width 0 kept but not shown.
  function fillTable(table, grid, rowsOverride) {
    if (!table || !grid) return;
    const cols = Math.min(Number(grid.col_count) || 0, 64);
    const rowCount = Math.min(Number(grid.row_count) || 0, 512);
    const rows = rowsOverride || (Array.isArray(grid.rows) ? grid.rows : []);
    const widths = Array.isArray(grid.widths) ? grid.widths : null;
    const fixedRows = grid.fixed_rows === 1 ? 1 : 0;
    const fixedCols = grid.fixed_cols === 1 ? 1 : 0;
    // The venue names the rider on each row: a click opens the rider's card.
    const bibs = !rowsOverride && Array.isArray(grid.bibs) ? grid.bibs : [];
    const caption = table.querySelector('caption');
    table.replaceChildren();
    if (caption) table.appendChild(caption);
    if (widths) {
      const group = document.createElement('colgroup');
      for (let c = 0; c < cols; ++c) {
        const col = document.createElement('col');
        const width = Number(widths[c]) || 0;
        if (width > 0) col.style.width = width + 'px';
        group.appendChild(col);
      }
      table.appendChild(group);
    }
    const head = document.createElement('thead');
    const body = document.createElement('tbody');
    for (let r = 0; r < rowCount; ++r) {
      const tr = document.createElement('tr');
      for (let c = 0; c < cols; ++c) {
        const heading = r < fixedRows || c < fixedCols;
        const cell = document.createElement(heading ? 'th' : 'td');
        if (heading) cell.scope = r < fixedRows ? 'col' : 'row';
        if (widths && !(Number(widths[c]) > 0)) cell.className = 'gone';
        cell.textContent = cellText(rows, r, c);
        tr.appendChild(cell);
      }
      if (r >= fixedRows && typeof bibs[r] === 'string' && /^[A-Za-z0-9]{1,8}$/.test(bibs[r])) {
        tr.dataset.bib = bibs[r];
        tr.tabIndex = 0;
      }
      (r < fixedRows ? head : body).appendChild(tr);
    }
    if (fixedRows) table.appendChild(head);
    table.appendChild(body);
  }

  function fillLines(list, lines, keepEnd) {
    if (!list) return;
    list.replaceChildren();
    for (const line of Array.isArray(lines) ? lines : []) {
      const item = document.createElement('li');
      item.textContent = typeof line === 'string' ? line : '';
      list.appendChild(item);
    }
    if (keepEnd) list.scrollTop = list.scrollHeight;
  }

  function setText(element, text, label) {
    if (!element) return;
    if (element.classList.contains('readout')) {
      const span = document.createElement('span');
      span.textContent = text || '';
      element.replaceChildren(span);
      element.setAttribute('aria-label', label + ': ' + (text || ''));
    } else {
      element.textContent = text || '';
    }
  }

  function drawPointsRace(root, doc) {
    let standings = doc.standings;
    if (standings && Array.isArray(standings.widths) && wide() && doc.wide_name_width) {
      // The desktop covers a screen wider than 800 pixels: the name column doubles.
      const widths = standings.widths.map((w, i) => (i === 1 ? doc.wide_name_width : w));
      standings = Object.assign({}, standings, {widths});
    }
    fillTable($('[data-grid=standings]', root), standings);
    const chooser = $('#sprint-chooser', root);
    const names = Array.isArray(doc.sprint_names) ? doc.sprint_names : [];
    if (chooser.dataset.names !== names.join('\n')) {
      chooser.replaceChildren();
      names.forEach((name, index) => {
        const option = document.createElement('option');
        option.value = String(index);
        option.textContent = typeof name === 'string' ? name : '';
        chooser.appendChild(option);
      });
      chooser.dataset.names = names.join('\n');
    }
    const chosen = viewerSprint !== null ? viewerSprint : doc.chosen_sprint;
    chooser.value = String(chosen);
    const shown = doc.shown_sprint;
    if (viewerSprint === null || !shown || !Array.isArray(doc.sprints) ||
        !Array.isArray(doc.sprints[viewerSprint])) {
      fillTable($('[data-grid=shown_sprint]', root), shown);
    } else {
      const headings = Array.isArray(shown.rows) && shown.rows[0] ? [shown.rows[0]] : [[]];
      fillTable($('[data-grid=shown_sprint]', root), shown,
                headings.concat(doc.sprints[viewerSprint]));
    }
  }

  function drawTimeTrial(root, doc) {
    fillTable($('[data-grid=standings]', root), doc.standings);
    const panels = Array.isArray(doc.panels) ? doc.panels : [];
    root.querySelectorAll('[data-panel]').forEach((box) => {
      const index = Number(box.dataset.panel);
      const panel = panels[index] || {};
      const rider = 'Rider ' + (index + 1);
      const summary = Array.isArray(panel.summary) ? panel.summary : [];
      fillTable($('[data-grid=summary]', box),
                {col_count: 1, row_count: summary.length, rows: summary.map((s) => [s]),
                  bibs: typeof panel.bib === 'string' ? [panel.bib] : []});
      fillTable($('[data-grid=laps]', box), panel.laps);
      setText($('[data-text=time]', box), panel.time, rider + ' time');
      setText($('[data-text=difference]', box), panel.difference, rider + ' difference');
    });
  }

  function draw(screen, doc) {
    const root = section(screen);
    if (!root) return;
    switch (screen) {
      case 'scratch':
        fillTable($('[data-grid=heat]', root), doc.heat);
        fillTable($('[data-grid=competitors]', root), doc.competitors);
        break;
      case 'points_race':
        drawPointsRace(root, doc);
        break;
      case 'sprint':
        setText($('[data-text=title]', root), doc.title);
        fillTable($('[data-grid=heat]', root), doc.heat);
        break;
      case 'time_trial':
        drawTimeTrial(root, doc);
        break;
      case 'quick_text':
        fillLines($('[data-lines]', root), doc.lines, false);
        break;
      case 'log':
        fillLines($('[data-lines]', root), doc.lines, true);
        break;
      default:
        return;
    }
    root.dataset.sequence = String(doc.sequence);
  }

  // --- Which screen shows ----------------------------------------------

  function wide() { return window.matchMedia('(min-width: 900px)').matches; }

  function shownScreen() { return pinned || front || 'log'; }

  function fit() {
    const root = section(shownScreen());
    const stage = $('#stage');
    if (!root || !wide()) return;
    const dw = Number(getComputedStyle(root).getPropertyValue('--dw')) || 800;
    const dh = Number(getComputedStyle(root).getPropertyValue('--dh')) || 600;
    const scale = Math.min(stage.clientWidth / dw, stage.clientHeight / dh);
    root.style.setProperty('--scale', String(Math.max(scale, 0.1)));
    root.style.setProperty('--left', Math.max(0, (stage.clientWidth - dw * scale) / 2) + 'px');
  }

  function showScreens() {
    const shown = shownScreen();
    for (const screen of SCREENS) {
      const root = section(screen);
      const tab = document.getElementById('tab-' + screen);
      root.hidden = screen !== shown;
      tab.setAttribute('aria-selected', String(screen === shown));
      tab.tabIndex = screen === shown ? 0 : -1;
      tab.classList.toggle('front', screen === front);
    }
    $('#follow').setAttribute('aria-pressed', String(pinned === null));
    fit();
  }

  // --- The status corner ---------------------------------------------

  function showStatus() {
    const status = $('#status');
    let words;
    let kind = '';
    if (connection === 'connected') {
      if (!feed) {
        words = 'waiting for the venue';
      } else if (feed.state === 'live') {
        words = 'feed live';
      } else if (feed.state === 'waiting') {
        words = 'waiting for the first record';
      } else {
        words = 'feed ' + feed.text;
        kind = 'quiet';
      }
    } else {
      words = connection === 'connecting' ? 'connecting to ' + BROKER : 'reconnecting to ' + BROKER;
      kind = 'down';
    }
    if (delayS > 0) words += ', ' + delayS + ' s behind';
    const text = words.charAt(0).toUpperCase() + words.slice(1);
    if (status.textContent !== text) status.textContent = text;
    status.className = 'status' + (kind ? ' ' + kind : '');
  }

  // --- Messages ------------------------------------------------------

  function take(screen, doc, arrived) {
    stats.messages += 1;
    if (screen === 'status') {
      feed = {state: String(doc.state), text: String(doc.text)};
      showStatus();
      return;
    }
    docs[screen] = doc;
    draw(screen, doc);
    const forward = Number(doc.forward) || 0;
    if (forward > 0 && forward > frontSequence) {
      frontSequence = forward;
      front = screen;
    }
    showScreens();
    // Message to painted table: the frame after the next one has painted it.
    requestAnimationFrame(() => requestAnimationFrame(() => {
      if (stats.paints.length < 100000) stats.paints.push(performance.now() - arrived);
    }));
  }

  function due(entry) {
    return entry.venueMs + delayS * 1000 <= Date.now();
  }

  function release() {
    while (held.length > 0 && (delayS === 0 || due(held[0]))) {
      const entry = held.shift();
      take(entry.screen, entry.doc, performance.now());
    }
  }

  function onMessage(topic, payload) {
    const arrived = performance.now();
    if (card && card.take(topic, payload)) return;
    const prefix = TOPIC + '/view/';
    if (!topic.startsWith(prefix) || payload.length > MAX_BYTES) {
      stats.refused += 1;
      return;
    }
    const screen = topic.slice(prefix.length);
    let doc;
    try {
      doc = JSON.parse(new TextDecoder('utf-8').decode(payload));
    } catch (error) {
      stats.refused += 1;
      return;
    }
    if (!doc || doc.format !== 'orvane-view' || doc.version !== VERSION || doc.screen !== screen ||
        !(SCREENS.includes(screen) || screen === 'status')) {
      stats.refused += 1;
      return;
    }
    if (delayS === 0 && held.length === 0) {
      take(screen, doc, arrived);
      return;
    }
    const venueMs = (Number(doc.received_us) || Number(doc.published_us) || 0) / 1000;
    held.push({screen, doc, venueMs});
    if (held.length > MAX_HELD) held.shift();
    release();
  }

  // --- Start -------------------------------------------------------------

  function connect() {
    const client = window.mqtt.connect(BROKER, {
      username: USER || undefined,
      password: PASSWORD || undefined,
      clientId: 'orvane-view-' + Math.random().toString(16).slice(2, 10),
      clean: true,
      reconnectPeriod: 1000,
      connectTimeout: 5000,
      keepalive: 10,
    });
    client.on('connect', () => {
      connection = 'connected';
      // One level: the screens; the riders' documents only while a card shows one.
      client.subscribe(TOPIC + '/view/+', {qos: 1});
      showStatus();
    });
    const down = () => {
      if (connection !== 'connecting') connection = 'reconnecting';
      showStatus();
    };
    client.on('reconnect', down);
    client.on('offline', down);
    client.on('close', down);
    client.on('error', down);
    client.on('message', onMessage);
    if (card) card.attach(client);
    return client;
  }

  document.querySelectorAll('[role=tab]').forEach((tab) => {
    tab.addEventListener('click', () => {
      pinned = tab.dataset.screen;
      showScreens();
    });
    tab.addEventListener('keydown', (event) => {
      const tabs = Array.from(document.querySelectorAll('[role=tab]'));
      const at = tabs.indexOf(tab);
      const step = event.key === 'ArrowRight' ? 1 : event.key === 'ArrowLeft' ? -1 : 0;
      if (step) {
        const next = tabs[(at + step + tabs.length) % tabs.length];
        next.focus();
        next.click();
      }
    });
  });
  $('#follow').addEventListener('click', () => {
    pinned = null;
    showScreens();
  });
  $('#sprint-chooser').addEventListener('change', (event) => {
    viewerSprint = Number(event.target.value);
    if (docs.points_race) draw('points_race', docs.points_race);
  });
  const delayInput = $('#delay');
  delayInput.value = String(delayS);
  delayInput.addEventListener('change', () => {
    delayS = clampDelay(Number(delayInput.value));
    delayInput.value = String(delayS);
    showStatus();
    release();
  });
  window.addEventListener('resize', fit);
  setInterval(release, 100);

  showScreens();
  showStatus();
  // For the tests and the benchmark: what was drawn and how fast.
  window.orvaneView = {docs, stats, shown: shownScreen, status: () => connection, card};
  if (window.mqtt) {
    connect();
  } else {
    connection = 'reconnecting';
    showStatus();
  }
})();
