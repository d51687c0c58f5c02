// Draws the report from the embedded data (sim/report/report_data.cc gives its shape): the
// timeline in SVG with marks thinned to one per few pixels when zoomed out (a thinned mark
// counts what it stands for and lists it), and the phone at the chosen instant.
(function () {
  'use strict';
  const data = JSON.parse(document.getElementById('qv-data').textContent);
  const run = document.getElementById('run');
  if (!data) {
    run.hidden = true;
    return;
  }
  const NS = 'http://www.w3.org/2000/svg';
  const S = data.strings;
  const str = (i) => (i < 0 ? '' : S[i]);
  // An alert numbered 0 is a listed app's timer the lists had let go of: it belongs to no run.
  const alertName = (n) => (n ? 'alert ' + n : 'alert of a timer no longer listed');
  // What an alert did: bit, name, colour, letter; each has its own row in the mark.
  const EFFECTS = [
    [1, 'sound', 'var(--sound)', 'S'],
    [2, 'vibration', 'var(--vibration)', 'V'],
    [4, 'torch', 'var(--torch)', 'T'],
    [8, 'screen flash', 'var(--flash)', 'F'],
    [16, 'banner', 'var(--banner)', 'B'],
    [32, 'screen wake', 'var(--wake)', 'W'],
    [64, 'lock-screen re-post', 'var(--repost)', 'R'],
  ];
  const END = Math.max(data.end, 1);
  const GUTTER = 170;
  const AXIS = 26;
  const BAND_ROW = 16;
  const MARK_ROW = 26;
  const LANE = 56;
  const THIN_PX = 14;  // marks closer than this on screen are drawn as one

  // --- Local time ---
  function offsetAt(ms) {
    let offset = data.clock.offsets[0][1];
    for (const [at, seconds] of data.clock.offsets) if (at <= ms) offset = seconds;
    return offset * 1000;
  }
  function localDate(ms) {
    return new Date(data.clock.epoch + ms + offsetAt(ms));
  }
  const two = (n) => String(n).padStart(2, '0');
  function clockText(ms, seconds) {
    const d = localDate(ms);
    let text = two(d.getUTCHours()) + ':' + two(d.getUTCMinutes());
    if (seconds) text += ':' + two(d.getUTCSeconds());
    const millis = d.getUTCMilliseconds();
    if (seconds && millis) text += '.' + String(millis).padStart(3, '0');
    return text;
  }
  function dayText(ms) {
    const d = localDate(ms);
    return d.getUTCFullYear() + '-' + two(d.getUTCMonth() + 1) + '-' + two(d.getUTCDate());
  }
  const multiDay = dayText(0) !== dayText(END);
  const stamp = (ms) => (multiDay ? dayText(ms) + ' ' : '') + clockText(ms, true);

  // --- Marks, by row ---
  function why(i) {
    return i >= 0 && data.whys[i] ? data.whys[i].map(str) : [];
  }
  const rows = [];
  rows.push({
    label: 'Actions',
    kind: 'action',
    marks: data.actions.map(([t, who, text, w]) => ({ t, title: str(who), text: str(text), why: why(w) })),
  });
  rows.push({
    label: 'Notifications',
    kind: 'notification',
    marks: data.notifications.map(([t, app, text, w]) => ({ t, title: str(app), text: str(text), why: why(w) })),
  });
  const lanes = data.lanes.map((lane) => ({
    label: lane.name,
    id: lane.id,
    kind: 'alert',
    runs: lane.runs,
    marks: lane.alerts.map(([t, n, effects, detail, w]) => ({
      t, n, effects, title: lane.name + ', ' + alertName(n), text: str(detail), why: why(w),
    })),
  }));
  // Every instant something happened, for the arrow keys.
  const instantSet = new Set([0, END]);
  for (const row of rows.concat(lanes)) for (const m of row.marks) instantSet.add(m.t);
  for (const lane of lanes) for (const r of lane.runs) { instantSet.add(r[0]); if (r[3] !== null) instantSet.add(r[3]); }
  for (const c of data.panel.changes) instantSet.add(c[0]);
  const instants = Array.from(instantSet).filter((t) => t >= 0 && t <= END).sort((a, b) => a - b);

  // --- State ---
  let view = [0, END];
  let now = 0;
  const svg = document.getElementById('timeline');
  const scrubber = document.getElementById('scrubber');
  const instantOut = document.getElementById('instant');
  const tip = document.getElementById('tip');
  scrubber.max = String(END);

  function el(name, attrs, parent) {
    const node = document.createElementNS(NS, name);
    for (const k in attrs) node.setAttribute(k, attrs[k]);
    if (parent) parent.appendChild(node);
    return node;
  }
  function text(parent, x, y, content, attrs) {
    const node = el('text', Object.assign({ x, y }, attrs || {}), parent);
    node.textContent = content;
    return node;
  }
  function width() {
    return Math.max(600, document.getElementById('timeline-box').clientWidth || 900);
  }
  function xOf(t, w) {
    return GUTTER + ((t - view[0]) / (view[1] - view[0])) * (w - GUTTER - 12);
  }
  function tOf(x, w) {
    return view[0] + ((x - GUTTER) / (w - GUTTER - 12)) * (view[1] - view[0]);
  }

  const STEPS = [1e3, 5e3, 1e4, 3e4, 6e4, 3e5, 6e5, 18e5, 36e5, 108e5, 216e5, 432e5, 864e5, 6048e5];
  function drawAxis(g, w, height) {
    const span = view[1] - view[0];
    const step = STEPS.find((s) => span / s <= 10) || STEPS[STEPS.length - 1];
    const first = Math.ceil((view[0] + offsetAt(view[0])) / step) * step - offsetAt(view[0]);
    for (let t = first; t <= view[1]; t += step) {
      const x = xOf(t, w);
      el('line', { class: 'tick', x1: x, x2: x, y1: AXIS - 6, y2: height }, g);
      const label = step >= 864e5 ? dayText(t) : clockText(t, step < 6e4);
      text(g, x + 2, AXIS - 10, label, { class: 'tick-label' });
    }
  }

  // Marks of a row grouped so no two drawn marks are closer than THIN_PX.
  function thin(marks, w) {
    const groups = [];
    for (const m of marks) {
      if (m.t < view[0] || m.t > view[1]) continue;
      const x = xOf(m.t, w);
      const last = groups[groups.length - 1];
      if (last && x - last.x < THIN_PX) last.marks.push(m);
      else groups.push({ x, marks: [m] });
    }
    return groups;
  }

  function describe(kind, marks) {
    if (marks.length === 1) {
      const m = marks[0];
      return { head: stamp(m.t) + '  ' + m.title, body: m.text, why: m.why };
    }
    const lines = marks.slice(0, 8).map((m) => clockText(m.t, true) + '  ' + (kind === 'alert' ? alertName(m.n) + ': ' : m.title + ': ') + m.text);
    if (marks.length > 8) lines.push('... and ' + (marks.length - 8) + ' more (zoom in to see each)');
    return {
      head: marks.length + ' ' + kind + 's from ' + stamp(marks[0].t) + ' to ' + stamp(marks[marks.length - 1].t),
      body: lines.join('\n'),
      why: [],
    };
  }

  function markGroup(parent, kind, marks, x, y, h, extraLabel) {
    const d = describe(kind, marks);
    const g = el('g', {
      class: 'mark ' + kind, tabindex: '0', role: 'button',
      'data-t': String(marks[0].t), 'data-count': String(marks.length), 'data-kind': kind,
      'aria-label': d.head + '. ' + d.body + (d.why.length ? '. Why: ' + d.why.join('; ') : ''),
    }, parent);
    g.qvDetails = d;
    g.qvTime = marks[0].t;
    el('rect', { class: 'hit', x: x - 5, y: y + 1, width: 10, height: h - 2, rx: 2 }, g);
    if (extraLabel) extraLabel(g);
    if (marks.length > 1) text(g, x + 5, y + 9, String(marks.length), { class: 'count' });
    return g;
  }

  function drawAlertGlyph(g, effects, x, y) {
    el('line', { x1: x, x2: x, y1: y + 2, y2: y + LANE - 2, stroke: '#222', 'stroke-width': 1 }, g);
    EFFECTS.forEach(([bit, , colour], i) => {
      if (effects & bit) el('rect', { x: x - 4, y: y + 4 + i * 7, width: 8, height: 6, fill: colour, stroke: '#222', 'stroke-width': .5 }, g);
    });
  }

  function draw() {
    const w = width();
    const bandRows = [['Locked', 'locked'], ['Do not disturb', 'quiet'], ['Outside start window', 'closed']];
    const height = AXIS + bandRows.length * BAND_ROW + rows.length * MARK_ROW + lanes.length * LANE + 8;
    svg.textContent = '';
    svg.setAttribute('viewBox', '0 0 ' + w + ' ' + height);
    svg.setAttribute('height', String(height));
    const clip = el('clipPath', { id: 'plot' }, el('defs', {}, svg));
    el('rect', { x: GUTTER - 6, y: 0, width: w - GUTTER + 6, height }, clip);
    const bg = el('rect', { class: 'background', x: 0, y: 0, width: w, height, fill: 'transparent' }, svg);
    bg.addEventListener('click', (ev) => chooseFromClick(ev, w));
    const plot = el('g', { 'clip-path': 'url(#plot)' }, svg);
    const labels = el('g', {}, svg);
    drawAxis(plot, w, height);
    let y = AXIS;
    for (const [label, key] of bandRows) {
      text(labels, 6, y + 12, label, { class: 'row-label' });
      const g = el('g', { class: 'band-row', 'data-band': key }, plot);
      for (const [from, to] of data.bands[key]) {
        if (to < view[0] || from > view[1]) continue;
        const x1 = Math.max(xOf(from, w), GUTTER - 6), x2 = Math.min(xOf(to, w), w);
        const r = el('rect', { class: 'band ' + key, x: x1, y: y + 3, width: Math.max(1, x2 - x1), height: BAND_ROW - 6 }, g);
        el('title', {}, r).textContent = label + ': ' + stamp(from) + ' to ' + stamp(to);
      }
      y += BAND_ROW;
    }
    for (const row of rows) {
      text(labels, 6, y + 16, row.label, { class: 'lane-label' });
      const g = el('g', { class: 'row', 'data-row': row.kind }, plot);
      for (const group of thin(row.marks, w)) {
        const m = markGroup(g, row.kind, group.marks, group.x, y, MARK_ROW);
        if (row.kind === 'action') el('path', { d: 'M' + group.x + ' ' + (y + 5) + 'l5 8-5 8-5-8z', fill: '#444' }, m);
        else el('circle', { cx: group.x, cy: y + 13, r: 4.5, fill: '#fff', stroke: '#0072b2', 'stroke-width': 2 }, m);
      }
      y += MARK_ROW;
    }
    lanes.forEach((lane, index) => {
      el('rect', { class: 'lane-bg' + (index % 2 ? ' odd' : ''), x: 0, y, width: w, height: LANE, 'pointer-events': 'none' }, svg.insertBefore(el('g', {}), plot));
      const laneLabel = text(labels, 6, y + LANE / 2 + 4, lane.label, { class: 'lane-label' });
      laneLabel.setAttribute('data-lane', lane.id);
      const g = el('g', { class: 'lane', 'data-lane': lane.id, 'aria-label': lane.label }, plot);
      // Runs as bars, merged where they meet on screen; their starts and ends thinned as marks are.
      const mid = y + LANE / 2;
      let bar = null;
      const starts = [], ends = [];
      for (const [start, how, cause, end, reason, endText] of lane.runs) {
        const stop = end === null ? END : end;
        if (stop < view[0] || start > view[1]) continue;
        const x1 = xOf(start, w), x2 = xOf(stop, w);
        if (bar && x1 <= bar[1] + 1) bar[1] = Math.max(bar[1], x2);
        else {
          if (bar) el('line', { class: 'run', x1: bar[0], x2: bar[1], y1: mid, y2: mid }, g);
          bar = [x1, x2];
        }
        starts.push({ t: start, title: lane.label + ' starts (' + how + ')', text: str(cause), why: [] });
        if (end !== null) ends.push({ t: end, title: lane.label + ' ends: ' + reason, text: str(endText), why: [], reason });
      }
      if (bar) el('line', { class: 'run', x1: bar[0], x2: bar[1], y1: mid, y2: mid }, g);
      for (const group of thin(starts, w)) {
        const sm = markGroup(g, 'start', group.marks, group.x, y, LANE);
        el('path', { d: 'M' + (group.x - 4) + ' ' + (mid - 6) + 'l9 6-9 6z', fill: '#222' }, sm);
      }
      ends.sort((a, b) => a.t - b.t);
      let labelEnd = -Infinity;  // where the last reason written ends: reasons never overlap
      for (const group of thin(ends, w)) {
        const em = markGroup(g, 'end', group.marks, group.x, y, LANE);
        el('rect', { x: group.x - 4, y: mid - 4, width: 8, height: 8, fill: '#fff', stroke: '#222', 'stroke-width': 2 }, em);
        if (group.marks.length === 1 && group.x + 6 > labelEnd) {
          text(em, group.x + 6, y + LANE - 4, group.marks[0].reason, { class: 'count' });
          labelEnd = group.x + 6 + group.marks[0].reason.length * 5.5;
        }
      }
      for (const group of thin(lane.marks, w)) {
        let effects = 0;
        for (const m of group.marks) effects |= m.effects;
        const m = markGroup(g, 'alert', group.marks, group.x, y, LANE);
        drawAlertGlyph(m, effects, group.x, y);
      }
      y += LANE;
    });
    const cx = xOf(now, w);
    el('line', { class: 'cursor', id: 'cursor', x1: cx, x2: cx, y1: AXIS - 4, y2: height }, svg);
    for (const m of svg.querySelectorAll('.mark')) {
      m.addEventListener('mouseenter', () => showTip(m));
      m.addEventListener('mouseleave', hideTip);
      m.addEventListener('focus', () => showTip(m));
      m.addEventListener('blur', hideTip);
      m.addEventListener('click', (ev) => { ev.stopPropagation(); setNow(m.qvTime); });
      m.addEventListener('keydown', (ev) => {
        if (ev.key === 'Enter' || ev.key === ' ') { ev.preventDefault(); setNow(m.qvTime); }
      });
    }
  }

  function chooseFromClick(ev, w) {
    const box = svg.getBoundingClientRect();
    const x = ((ev.clientX - box.left) / box.width) * w;
    if (x < GUTTER) return;
    setNow(Math.round(Math.min(END, Math.max(0, tOf(x, w)))));
  }

  function showTip(mark) {
    const d = mark.qvDetails;
    tip.textContent = '';
    const head = document.createElement('strong');
    head.textContent = d.head;
    tip.appendChild(head);
    tip.appendChild(document.createTextNode('\n' + d.body));
    if (d.why.length) {
      const w = document.createElement('div');
      w.className = 'why';
      w.textContent = 'Why:\n' + d.why.map((x) => '\u2022 ' + x).join('\n');
      tip.appendChild(w);
    }
    const box = mark.getBoundingClientRect();
    tip.hidden = false;
    tip.style.left = Math.max(4, Math.min(window.scrollX + box.left, window.scrollX + document.documentElement.clientWidth - 430)) + 'px';
    tip.style.top = window.scrollY + box.bottom + 6 + 'px';
  }
  function hideTip() {
    tip.hidden = true;
  }

  // --- The phone ---
  let folded = null;
  function stateAt(t) {
    if (!folded || folded.t > t) {
      const s = data.panel.start;
      folded = {
        t: -1, next: 0, locked: s.locked, dnd: s.dnd, front: s.front,
        icons: new Map(s.icons.map(([item, drawing]) => [str(item), str(drawing)])), banner: null, list: [],
      };
    }
    const changes = data.panel.changes;
    while (folded.next < changes.length && changes[folded.next][0] <= t) {
      const c = changes[folded.next++];
      switch (c[1]) {
        case 'lock': folded.locked = c[2]; break;
        case 'dnd': folded.dnd = c[2]; break;
        case 'front': folded.front = c[2]; break;
        case 'icon': folded.icons.set(str(c[2]), str(c[3])); break;
        case 'hide': folded.icons.delete(str(c[2])); break;
        case 'banner': folded.banner = c[2]; break;
        case 'list': folded.list = c[2].map(str); break;
      }
    }
    folded.t = t;
    return {
      locked: folded.locked, dnd: folded.dnd, front: str(folded.front), banner: folded.banner,
      icons: Array.from(folded.icons.keys()).sort(), list: folded.list.slice(),
    };
  }

  function drawPhone(t) {
    const state = stateAt(t);
    const W = data.pad ? 768 : 375, H = data.pad ? 1024 : 667;
    const k = data.pad ? 1.6 : 1;  // text and icons scale with the screen
    const phone = document.getElementById('phone');
    phone.textContent = '';
    phone.setAttribute('viewBox', '-24 -60 ' + (W + 48) + ' ' + (H + 120));
    phone.setAttribute('data-device', data.pad ? 'iPad' : 'iPhone');
    phone.setAttribute('data-locked', String(state.locked));
    el('rect', { x: -20, y: -56, width: W + 40, height: H + 112, rx: 36, fill: '#2b2b2b' }, phone);
    el('circle', { cx: W / 2, cy: H + 28, r: 18, fill: '#444' }, phone);
    el('rect', { x: 0, y: 0, width: W, height: H, fill: state.locked ? '#1d2733' : '#eef1f5' }, phone);
    const fg = state.locked ? '#fff' : '#111';
    // Status bar: stock items left and right, the time (or the padlock when locked) in the middle.
    const bar = el('g', { id: 'status-bar', fill: fg }, phone);
    const sh = 20 * k;
    const stock = (name) => el('g', { class: 'sb-stock', 'data-item': name }, bar);
    const signal = stock('SignalStrength');
    for (let i = 0; i < 5; i++) el('circle', { cx: 8 * k + i * 7 * k, cy: sh / 2, r: 2.6 * k }, signal);
    text(stock('Service'), 44 * k, sh * .72, 'Carrier', { 'font-size': 11 * k });
    if (state.locked) {
      const lock = stock('Lock');
      el('rect', { x: W / 2 - 5 * k, y: sh * .45, width: 10 * k, height: 8 * k, rx: 1 }, lock);
      el('path', { d: 'M' + (W / 2 - 3 * k) + ' ' + sh * .45 + 'v-' + 3 * k + 'a' + 3 * k + ' ' + 3 * k + ' 0 0 1 ' + 6 * k + ' 0v' + 3 * k, fill: 'none', stroke: fg, 'stroke-width': 1.6 }, lock);
    } else {
      text(stock('Time'), W / 2, sh * .72, clockText(t, false), { 'font-size': 12 * k, 'font-weight': 600, 'text-anchor': 'middle' });
    }
    let right = W - 6 * k;
    const battery = stock('Battery');
    right -= 26 * k;
    el('rect', { x: right, y: sh * .25, width: 22 * k, height: sh * .5, rx: 2, fill: 'none', stroke: fg }, battery);
    el('rect', { x: right + 2, y: sh * .25 + 2, width: 22 * k - 4, height: sh * .5 - 4, fill: fg }, battery);
    for (const id of state.icons.slice().reverse()) {
      const look = data.items[id] || [id.slice(0, 3), id];
      const wide = Math.max(16, look[0].length * 7 + 6) * k;
      right -= wide + 4 * k;
      const g = el('g', { class: 'sb-item', 'data-item': id }, bar);
      el('title', {}, g).textContent = look[1];
      el('rect', { x: right, y: sh * .12, width: wide, height: sh * .76, rx: 3 * k, fill: state.locked ? '#fff' : '#222' }, g);
      text(g, right + wide / 2, sh * .68, look[0], { 'font-size': 9 * k, 'font-weight': 700, 'text-anchor': 'middle', fill: state.locked ? '#111' : '#fff' });
    }
    if (state.dnd) {
      right -= 16 * k;
      const moon = stock('DoNotDisturb');
      el('path', { d: 'M' + (right + 10 * k) + ' ' + sh * .2 + 'a' + 6 * k + ' ' + 6 * k + ' 0 1 0 ' + 0 + ' ' + sh * .6 + 'a' + 4.5 * k + ' ' + 4.5 * k + ' 0 1 1 0-' + sh * .6 + 'z' }, moon);
    }
    // The screen: the lock screen and its list, or the app in front.
    const screen = el('g', { id: 'screen' }, phone);
    if (state.locked) {
      const d = localDate(t);
      text(screen, W / 2, 110 * k, clockText(t, false), { 'font-size': 64 * k, 'font-weight': 300, fill: '#fff', 'text-anchor': 'middle' });
      text(screen, W / 2, 140 * k, d.toLocaleDateString('en-GB', { weekday: 'long', day: 'numeric', month: 'long', timeZone: 'UTC' }), { 'font-size': 15 * k, fill: '#fff', 'text-anchor': 'middle' });
      const list = el('g', { id: 'lock-screen-list' }, screen);
      let y = 170 * k;
      const itemH = 62 * k;
      let shown = 0;
      for (const id of state.list) {
        if (y + itemH > H - 50 * k) break;
        const b = data.bulletins[id];
        const g = el('g', { class: 'ls-item', 'data-id': id }, list);
        el('rect', { x: 10 * k, y, width: W - 20 * k, height: itemH - 6 * k, rx: 10, fill: 'rgba(255,255,255,.16)' }, g);
        const head = b ? str(b[0]) + (str(b[1]) ? ' \u2014 ' + str(b[1]) : '') : id;
        text(g, 20 * k, y + 20 * k, head, { 'font-size': 13 * k, 'font-weight': 700, fill: '#fff' });
        text(g, 20 * k, y + 40 * k, b ? (str(b[2]) ? str(b[2]) + ': ' : '') + str(b[3]) : '', { 'font-size': 12 * k, fill: '#fff' });
        y += itemH;
        shown++;
      }
      if (shown < state.list.length)
        text(list, W / 2, y + 16 * k, '+ ' + (state.list.length - shown) + ' more', { 'font-size': 12 * k, fill: '#fff', 'text-anchor': 'middle' });
      text(screen, W / 2, H - 20 * k, 'slide to unlock', { 'font-size': 14 * k, fill: '#cfd8e3', 'text-anchor': 'middle' });
    } else {
      const front = state.front || 'Home screen';
      el('rect', { x: W / 2 - 60 * k, y: H / 2 - 110 * k, width: 120 * k, height: 120 * k, rx: 26 * k, fill: '#9aa7b4' }, screen);
      text(screen, W / 2, H / 2 - 35 * k, front.slice(0, 1), { 'font-size': 56 * k, fill: '#fff', 'text-anchor': 'middle' });
      text(screen, W / 2, H / 2 + 40 * k, front, { id: 'front-app', 'font-size': 18 * k, fill: '#111', 'text-anchor': 'middle' });
    }
    // The banner on screen, over everything, its content where the device lays it out.
    if (state.banner) {
      const [app, title, message, x, contentWidth] = state.banner;
      const g = el('g', { id: 'banner', 'data-app': str(app) }, phone);
      el('rect', { x: 0, y: 0, width: W, height: 64 * k, fill: 'rgba(20,20,20,.92)' }, g);
      const left = (contentWidth > 0 && contentWidth < W ? x : 0) + 12 * k;
      text(g, left, 24 * k, str(app) + (str(title) && str(title) !== str(app) ? ' \u2014 ' + str(title) : ''), { 'font-size': 13 * k, 'font-weight': 700, fill: '#fff' });
      text(g, left, 46 * k, str(message), { 'font-size': 13 * k, fill: '#fff' });
    }
    document.getElementById('phone-caption').textContent =
      (data.pad ? 'iPad' : 'iPhone') + ' at ' + stamp(t) + (state.locked ? ', locked' : ', unlocked') +
      (state.dnd ? ', do not disturb' : '') + (state.banner ? ', banner on screen' : '') +
      ', ' + state.icons.length + ' status item' + (state.icons.length === 1 ? '' : 's') + ' of ours' +
      (state.locked ? ', ' + state.list.length + ' on the lock screen' : '');
  }

  // --- Choosing the instant ---
  function setNow(t) {
    now = Math.round(Math.min(END, Math.max(0, t)));
    scrubber.value = String(now);
    instantOut.textContent = stamp(now);
    scrubber.setAttribute('aria-valuetext', stamp(now));
    if (now < view[0] || now > view[1]) {
      const span = view[1] - view[0];
      view = [Math.max(0, now - span / 2), Math.min(END, now + span / 2)];
      draw();
    } else {
      const cursor = document.getElementById('cursor');
      const w = width();
      if (cursor) { cursor.setAttribute('x1', xOf(now, w)); cursor.setAttribute('x2', xOf(now, w)); }
    }
    drawPhone(now);
  }
  function step(direction) {
    if (direction > 0) {
      const next = instants.find((t) => t > now);
      setNow(next === undefined ? END : next);
    } else {
      let previous = 0;
      for (const t of instants) if (t < now) previous = t;
      setNow(previous);
    }
  }
  function onKey(ev) {
    const span = view[1] - view[0];
    const moves = {
      ArrowRight: () => step(1), ArrowUp: () => step(1), ArrowLeft: () => step(-1), ArrowDown: () => step(-1),
      PageUp: () => setNow(now + span / 10), PageDown: () => setNow(now - span / 10),
      Home: () => setNow(0), End: () => setNow(END),
    };
    if (!moves[ev.key]) return;
    ev.preventDefault();
    moves[ev.key]();
  }
  scrubber.addEventListener('input', () => setNow(Number(scrubber.value)));
  scrubber.addEventListener('keydown', onKey);
  svg.addEventListener('keydown', onKey);
  function zoom(factor) {
    const span = Math.min(END, Math.max(2000, (view[1] - view[0]) * factor));
    let from = Math.max(0, now - span / 2);
    from = Math.min(from, END - span);
    view = [from, from + span];
    draw();
  }
  document.getElementById('zoom-in').addEventListener('click', () => zoom(0.5));
  document.getElementById('zoom-out').addEventListener('click', () => zoom(2));
  document.getElementById('zoom-all').addEventListener('click', () => { view = [0, END]; draw(); });
  svg.addEventListener('wheel', (ev) => {
    if (!ev.ctrlKey && !ev.shiftKey) return;
    ev.preventDefault();
    zoom(ev.deltaY < 0 ? 0.5 : 2);
  }, { passive: false });
  window.addEventListener('resize', draw);

  // The legend: what each row of an alert mark means, and the bands.
  const legend = document.getElementById('legend');
  const item = (colour, label) => {
    const span = document.createElement('span');
    const swatch = document.createElement('i');
    swatch.style.background = colour;
    span.appendChild(swatch);
    span.appendChild(document.createTextNode(label));
    legend.appendChild(span);
  };
  EFFECTS.forEach(([, name, colour], i) => item(colour, 'alert row ' + (i + 1) + ': ' + name));
  item('var(--locked)', 'locked');
  item('var(--quiet)', 'do not disturb');
  item('var(--closed)', 'outside the start window');

  document.getElementById('phone-box').classList.add(data.pad ? 'pad' : 'phone');
  draw();
  setNow(0);
  // For tools: the phone's state the page draws at an instant.
  window.quorvelReport = { stateAt: (t) => { folded = null; return stateAt(t); }, instants, setNow, now: () => now };
}());
