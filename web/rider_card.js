// The rider card of the browser view: a click (or Enter) on a row that
// names a rider opens it. The venue sends each rider's day as a retained
// document on TOPIC/view/riders/<bib> (README.md, "View messages") and the
// rider's note is the retained message on TOPIC/notes/<bib>; the card
// subscribes to both while it is open and only draws them.
(function () {
  'use strict';

  const FORMAT_VERSION = 1;
  const NOTE_VERSION = 1;
  const MAX_BYTES = 1 << 20;
  const MAX_ROWS = 200;
  const BIB = /^[A-Za-z0-9]{1,8}$/;

  function two(n) { return String(n).padStart(2, '0'); }

  // "Last edit: AUTHOR, HH:MM:SS", as the desktop card says it.
  function lastEdit(version) {
    const when = new Date(Number(version.time) || 0);
    return 'Last edit: ' + String(version.author) + ', ' + two(when.getHours()) + ':' +
        two(when.getMinutes()) + ':' + two(when.getSeconds());
  }

  window.orvaneRiderCard = function (topic) {
    const dialog = document.getElementById('rider-card');
    const title = document.getElementById('rider-title');
    const fields = document.getElementById('rider-fields');
    const today = document.getElementById('today-so-far').querySelector('tbody');
    const more = document.getElementById('rider-more');
    const note = document.getElementById('rider-note');
    const author = document.getElementById('rider-note-author');
    const riderPrefix = topic + '/view/riders/';
    const notePrefix = topic + '/notes/';
    let client = null;
    let bib = null;
    let opener = null;

    function subscriptions(of) { return [riderPrefix + of, notePrefix + of]; }

    function field(heading, value) {
      const term = document.createElement('dt');
      term.textContent = heading + ':';
      const text = document.createElement('dd');
      text.textContent = value;
      fields.append(term, text);
    }

    function drawRider(doc) {
      const name = typeof doc.name === 'string' ? doc.name : '';
      title.textContent = name ? bib + '  ' + name : bib;
      fields.replaceChildren();
      if (Array.isArray(doc.fields)) {
        for (const pair of doc.fields.slice(0, 64)) {
          if (Array.isArray(pair)) field(String(pair[0]), String(pair[1]));
        }
      } else {
        field('Start list', 'not on the start list');
      }
      today.replaceChildren();
      const rows = Array.isArray(doc.today) ? doc.today.slice(0, MAX_ROWS) : [];
      for (const row of rows) {
        const tr = document.createElement('tr');
        for (let c = 0; c < 6; ++c) {
          const td = document.createElement('td');
          td.textContent = Array.isArray(row) && typeof row[c] === 'string' ? row[c] : '';
          tr.appendChild(td);
        }
        today.appendChild(tr);
      }
      const older = Number(doc.more) || 0;
      more.hidden = older <= 0;
      more.textContent = older > 0 ? older + ' earlier entries not shown' : '';
    }

    function drawNote(payload) {
      let text = '';
      let edit = '';
      if (payload.length > 0) {
        try {
          const doc = JSON.parse(new TextDecoder('utf-8').decode(payload));
          if (doc && doc.format === 'orvane-note' && doc.version === NOTE_VERSION &&
              doc.bib === bib && doc.note && typeof doc.note.text === 'string') {
            text = doc.note.text;
            if (doc.note.author) edit = lastEdit(doc.note);
          }
        } catch (error) {
          // Not a note: the card shows none.
        }
      }
      note.textContent = text || 'No note for bib ' + bib;
      note.classList.toggle('empty', !text);
      author.textContent = edit;
    }

    function open(of, from) {
      if (!BIB.test(of)) return;
      if (client && bib && bib !== of) client.unsubscribe(subscriptions(bib));
      bib = of;
      opener = from || document.activeElement;
      title.textContent = of;
      fields.replaceChildren();
      today.replaceChildren();
      more.hidden = true;
      note.textContent = 'No note for bib ' + of;
      note.classList.add('empty');
      author.textContent = '';
      dialog.dataset.bib = of;
      if (client) client.subscribe(subscriptions(of), {qos: 1});
      if (!dialog.open) dialog.showModal();
    }

    dialog.addEventListener('close', () => {
      if (client && bib) client.unsubscribe(subscriptions(bib));
      bib = null;
      delete dialog.dataset.bib;
      if (opener && opener.isConnected) opener.focus();
    });
    document.getElementById('rider-close').addEventListener('click', () => dialog.close());

    // Rows that name a rider carry data-bib (view.js sets it from the
    // screens' documents).
    const stage = document.getElementById('stage');
    stage.addEventListener('click', (event) => {
      const row = event.target.closest('[data-bib]');
      if (row) open(row.dataset.bib, row);
    });
    stage.addEventListener('keydown', (event) => {
      const row = event.target.closest('[data-bib]');
      if (row && event.key === 'Enter') {
        event.preventDefault();
        open(row.dataset.bib, row);
      }
    });

    return {
      attach(mqttClient) {
        client = mqttClient;
        if (bib) client.subscribe(subscriptions(bib), {qos: 1});
      },
      // True when the message was the card's.
      take(messageTopic, payload) {
        if (messageTopic.startsWith(riderPrefix)) {
          if (bib && messageTopic === riderPrefix + bib && payload.length <= MAX_BYTES) {
            try {
              const doc = JSON.parse(new TextDecoder('utf-8').decode(payload));
              if (doc && doc.format === 'orvane-rider' && doc.version === FORMAT_VERSION &&
                  doc.bib === bib) {
                drawRider(doc);
              }
            } catch (error) {
              // Not a rider document: ignored.
            }
          }
          return true;
        }
        if (messageTopic.startsWith(notePrefix)) {
          if (bib && messageTopic === notePrefix + bib && payload.length <= MAX_BYTES) {
            drawNote(payload);
          }
          return true;
        }
        return false;
      },
      open,
      bib: () => bib,
    };
  };
})();
