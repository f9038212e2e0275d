// The atlas page: the index of regions with its search, and the map of one region. Data come in
// through script files (data/index.js, data/<REGION>.js) that call karstAtlas.index and
// karstAtlas.region, since a page opened from disk cannot fetch files.
"use strict";

const karstAtlas = (function () {
  const MIN_ZOOM = -3;
  const MAX_ZOOM = 3;
  const CELL = 16; // map pixels a side of a map cell
  const STEP = 16; // map pixels an arrow key pans
  const MARKER_RADIUS = 4;
  const HIT_RADIUS = 7;
  const MAX_FOUND = 100;

  const $ = (id) => document.getElementById(id);
  const canvas = $("canvas");
  const context = canvas.getContext("2d");

  let site = null; // the index data
  const loaded = {}; // region name -> its entity rows, once its script has run
  let current = null; // {meta, rows, map, ground}
  let view = { x: 0, y: 0, zoom: 0 };
  let focusIndex = null; // the entity whose row to show once its region is open
  let drag = null;
  let pointer = null;

  const scale = () => Math.pow(2, view.zoom);
  const clamp = (value, low, high) => Math.max(low, Math.min(high, value));
  const centre = () => ({ x: Math.floor(canvas.width / 2), y: Math.floor(canvas.height / 2) });

  function regionIndex(name) {
    return site.regions.findIndex((region) => region.name === name);
  }

  function fragment() {
    return "#" + encodeURIComponent(current.meta.name) + "/" + view.x + "/" + view.y + "/" + view.zoom;
  }

  // Keeps the address showing the view, so it can be shared.
  function keepFragment() {
    if (location.hash === fragment()) {
      return;
    }
    history.replaceState(null, "", fragment());
  }

  function setView(x, y, zoom) {
    const meta = current.meta;
    view = {
      x: clamp(Math.round(x), 0, meta.width - 1),
      y: clamp(Math.round(y), 0, meta.height - 1),
      zoom: clamp(zoom, MIN_ZOOM, MAX_ZOOM),
    };
    keepFragment();
    draw();
  }

  // Where map pixel (0, 0) lands on the canvas: the view's pixel has its top-left corner at the
  // canvas's centre pixel.
  function origin() {
    const s = scale();
    const c = centre();
    return { x: Math.round(c.x - view.x * s), y: Math.round(c.y - view.y * s) };
  }

  function drawPicture(picture, o, s) {
    if (!picture.complete || picture.naturalWidth === 0) {
      return;
    }
    // Only the part on screen is drawn, whole map pixels, so nothing is sampled between them.
    const left = clamp(Math.floor(-o.x / s), 0, picture.naturalWidth);
    const top = clamp(Math.floor(-o.y / s), 0, picture.naturalHeight);
    const right = clamp(Math.ceil((canvas.width - o.x) / s), 0, picture.naturalWidth);
    const bottom = clamp(Math.ceil((canvas.height - o.y) / s), 0, picture.naturalHeight);
    if (right <= left || bottom <= top) {
      return;
    }
    context.drawImage(picture, left, top, right - left, bottom - top,
      o.x + left * s, o.y + top * s, (right - left) * s, (bottom - top) * s);
  }

  function drawGrid(o, s) {
    const side = CELL * s;
    if (side < 4) {
      return;
    }
    const meta = current.meta;
    const columns = Math.ceil(meta.width / CELL);
    const rows = Math.ceil(meta.height / CELL);
    const first = { x: clamp(Math.floor(-o.x / side), 0, columns), y: clamp(Math.floor(-o.y / side), 0, rows) };
    const last = {
      x: clamp(Math.ceil((canvas.width - o.x) / side), 0, columns),
      y: clamp(Math.ceil((canvas.height - o.y) / side), 0, rows),
    };
    context.fillStyle = "rgba(255, 255, 255, 0.35)";
    for (let column = first.x; column <= last.x; ++column) {
      context.fillRect(o.x + column * side, o.y + first.y * side, 1, (last.y - first.y) * side);
    }
    for (let row = first.y; row <= last.y; ++row) {
      context.fillRect(o.x + first.x * side, o.y + row * side, (last.x - first.x) * side, 1);
    }
    if (side < 64) {
      return;
    }
    context.font = "10px sans-serif";
    context.textBaseline = "top";
    for (let row = first.y; row < last.y; ++row) {
      for (let column = first.x; column < last.x; ++column) {
        const text = column + "," + row;
        const x = o.x + column * side + 2;
        const y = o.y + row * side + 2;
        context.fillStyle = "rgba(0, 0, 0, 0.6)";
        context.fillRect(x - 1, y - 1, context.measureText(text).width + 2, 12);
        context.fillStyle = "#fff";
        context.fillText(text, x, y);
      }
    }
  }

  function markerAt(row, o, s) {
    return { x: o.x + row.x * s, y: o.y + row.y * s };
  }

  function drawMarkers(o, s) {
    for (const row of current.rows) {
      const at = markerAt(row, o, s);
      if (at.x < -HIT_RADIUS || at.y < -HIT_RADIUS || at.x > canvas.width + HIT_RADIUS ||
          at.y > canvas.height + HIT_RADIUS) {
        continue;
      }
      context.beginPath();
      context.arc(at.x + 0.5, at.y + 0.5, MARKER_RADIUS, 0, 2 * Math.PI);
      context.fillStyle = row.drawn ? "#ffd000" : "#ff3030";
      context.fill();
      context.lineWidth = 1.5;
      context.strokeStyle = "#000";
      context.stroke();
    }
  }

  function draw() {
    if (current === null) {
      return;
    }
    context.imageSmoothingEnabled = false;
    context.fillStyle = "#000";
    context.fillRect(0, 0, canvas.width, canvas.height);
    const s = scale();
    const o = origin();
    const objects = $("layerObjects").checked || current.ground === null;
    drawPicture(objects ? current.map : current.ground, o, s);
    if ($("layerGrid").checked) {
      drawGrid(o, s);
    }
    if ($("layerMarkers").checked) {
      drawMarkers(o, s);
    }
    showPointer();
    placePopup();
  }

  function mapPixelAt(screenX, screenY) {
    const s = scale();
    const c = centre();
    return { x: view.x + (screenX - c.x) / s, y: view.y + (screenY - c.y) / s };
  }

  function showPointer() {
    if (pointer === null) {
      $("pointer").textContent = "";
      return;
    }
    const at = mapPixelAt(pointer.x, pointer.y);
    const x = Math.floor(at.x);
    const y = Math.floor(at.y);
    const inside = x >= 0 && y >= 0 && x < current.meta.width && y < current.meta.height;
    $("pointer").textContent = inside
      ? x + ", " + y + " (cell " + Math.floor(x / CELL) + ", " + Math.floor(y / CELL) + ")" : "";
  }

  // The entity's row, as karst-gff entities gives it.
  function showRow(row) {
    const popup = $("popup");
    popup.replaceChildren();
    const table = document.createElement("table");
    const fields = ["index", "x", "y", "z", "mirrored", "objectId", "bitmapId"];
    const cells = fields.map((field) => [field, row[field] === null ? "none" : String(row[field])]);
    cells.push(["drawn", row.drawn ? "yes" : "no: " + row.reason]);
    for (const [field, value] of cells) {
      const line = table.insertRow();
      line.insertCell().textContent = field;
      line.insertCell().textContent = value;
    }
    popup.appendChild(table);
    popup.dataset.index = row.index;
    popup.hidden = false;
    placePopup();
  }

  function placePopup() {
    const popup = $("popup");
    if (popup.hidden || current === null) {
      return;
    }
    const row = current.rows.find((candidate) => String(candidate.index) === popup.dataset.index);
    if (row === undefined) {
      popup.hidden = true;
      return;
    }
    const at = markerAt(row, origin(), scale());
    popup.style.left = at.x + HIT_RADIUS + "px";
    popup.style.top = at.y + HIT_RADIUS + "px";
  }

  function markerUnder(screenX, screenY) {
    if (!$("layerMarkers").checked) {
      return null;
    }
    const o = origin();
    const s = scale();
    let best = null;
    let bestDistance = HIT_RADIUS * HIT_RADIUS;
    for (const row of current.rows) {
      const at = markerAt(row, o, s);
      const distance = (at.x - screenX) ** 2 + (at.y - screenY) ** 2;
      if (distance <= bestDistance) {
        best = row;
        bestDistance = distance;
      }
    }
    return best;
  }

  function zoomAround(zoom, screenX, screenY) {
    zoom = clamp(zoom, MIN_ZOOM, MAX_ZOOM);
    const at = mapPixelAt(screenX, screenY);
    const c = centre();
    const s = Math.pow(2, zoom);
    setView(at.x - (screenX - c.x) / s, at.y - (screenY - c.y) / s, zoom);
  }

  // The largest zoom at which the whole region is on screen.
  function fittingZoom(meta) {
    let zoom = MAX_ZOOM;
    while (zoom > MIN_ZOOM && (meta.width * Math.pow(2, zoom) > canvas.width ||
                               meta.height * Math.pow(2, zoom) > canvas.height)) {
      --zoom;
    }
    return zoom;
  }

  // A line in place of the search's results: what the reader asked for that is not there.
  function say(text) {
    const item = document.createElement("li");
    item.textContent = text;
    $("found").replaceChildren(item);
  }

  function cannotLoad(name) {
    showIndex();
    say("The data of " + name + " could not be loaded: is data/" + name + ".js missing?");
  }

  function showIndex() {
    current = null;
    $("map").hidden = true;
    $("index").hidden = false;
    document.title = "Atlas";
  }

  // Shows the region once its rows and picture are there; the view given, or the whole region.
  function openRegion(name, wanted) {
    const meta = site.regions[regionIndex(name)];
    if (!(name in loaded)) {
      const script = document.createElement("script");
      script.src = "data/" + encodeURIComponent(name) + ".js";
      // A script that is missing, or names another region, must not be asked for again and again.
      script.onload = () => (name in loaded ? openRegion(name, wanted) : cannotLoad(name));
      script.onerror = () => cannotLoad(name);
      document.head.appendChild(script);
      return;
    }
    const picture = (file) => {
      const image = new Image();
      image.onload = draw;
      image.src = file + "/" + encodeURIComponent(name) + ".png";
      return image;
    };
    if (current === null || current.meta.name !== name) {
      current = { meta: meta, rows: loaded[name], map: picture("maps"), ground: site.objects ? picture("ground") : null };
    }
    $("index").hidden = true;
    $("map").hidden = false;
    $("popup").hidden = true;
    $("title").textContent = label(meta);
    document.title = label(meta) + " - Atlas";
    resize();
    if (wanted === null) {
      const zoom = fittingZoom(meta);
      setView(Math.floor(meta.width / 2), Math.floor(meta.height / 2), zoom);
    } else {
      setView(wanted.x, wanted.y, wanted.zoom);
    }
    if (focusIndex !== null) {
      const row = current.rows.find((candidate) => candidate.index === focusIndex);
      focusIndex = null;
      if (row !== undefined) {
        $("layerMarkers").checked = true;
        draw();
        showRow(row);
      }
    }
  }

  // "#REGION/X/Y/ZOOM", or "#REGION" for the whole region; anything else is the index.
  function route() {
    const parts = location.hash.slice(1).split("/");
    let name = parts[0];
    try {
      name = decodeURIComponent(parts[0]);
    } catch (error) {
      // A mangled address: named as it stands.
    }
    if (site === null || regionIndex(name) < 0) {
      showIndex();
      if (site !== null && name !== "") {
        say("This atlas has no region " + name + ".");
      }
      return;
    }
    let wanted = null;
    if (parts.length === 4 && parts.slice(1).every((part) => /^-?[0-9]+$/.test(part))) {
      wanted = { x: Number(parts[1]), y: Number(parts[2]), zoom: Number(parts[3]) };
    }
    if (current !== null && current.meta.name === name && wanted !== null && location.hash === fragment()) {
      return;
    }
    openRegion(name, wanted);
  }

  function step(by) {
    const index = regionIndex(current.meta.name) + by;
    if (index < 0 || index >= site.regions.length) {
      return;
    }
    // Like the viewer: the next region from its top-left corner, at the same zoom; centred when
    // the whole of it fits on screen.
    const meta = site.regions[index];
    const s = scale();
    const c = centre();
    const fits = meta.width * s <= canvas.width && meta.height * s <= canvas.height;
    const x = fits ? Math.floor(meta.width / 2) : Math.min(Math.ceil(c.x / s), meta.width - 1);
    const y = fits ? Math.floor(meta.height / 2) : Math.min(Math.ceil(c.y / s), meta.height - 1);
    location.hash = encodeURIComponent(meta.name) + "/" + x + "/" + y + "/" + view.zoom;
  }

  function onKey(event) {
    if (current === null || event.target === $("search") || event.ctrlKey || event.altKey || event.metaKey) {
      return;
    }
    const pans = { ArrowLeft: [-STEP, 0], ArrowRight: [STEP, 0], ArrowUp: [0, -STEP], ArrowDown: [0, STEP] };
    if (event.key in pans) {
      setView(view.x + pans[event.key][0], view.y + pans[event.key][1], view.zoom);
    } else if (event.key === "+" || event.key === "=") {
      setView(view.x, view.y, view.zoom + 1);
    } else if (event.key === "-") {
      setView(view.x, view.y, view.zoom - 1);
    } else if (event.key === " ") {
      step(1);
    } else if (event.key === "Backspace") {
      step(-1);
    } else if (event.key === "Escape") {
      $("popup").hidden = true;
    } else {
      return;
    }
    event.preventDefault();
  }

  function resize() {
    canvas.width = window.innerWidth;
    canvas.height = window.innerHeight;
    draw();
  }

  function link(text, hash, onClick) {
    const item = document.createElement("li");
    const anchor = document.createElement("a");
    anchor.href = hash;
    anchor.textContent = text;
    if (onClick) {
      anchor.addEventListener("click", onClick);
    }
    item.appendChild(anchor);
    return item;
  }

  // The entities of object or bitmap `number`, as links into `found`, the first MAX_FOUND of them.
  function findEntities(number, found) {
    let count = 0;
    for (const region of site.regions) {
      for (const [index, objectId, bitmapId, x, y] of region.rows) {
        if (objectId !== number && bitmapId !== number) {
          continue;
        }
        if (++count > MAX_FOUND) {
          continue;
        }
        const what = objectId === number ? "object " + objectId : "bitmap " + bitmapId;
        const hash = "#" + encodeURIComponent(region.name) + "/" + x + "/" + y + "/1";
        found.appendChild(link(region.name + ": entity " + index + ", " + what + " at " + x + ", " + y, hash,
          () => { focusIndex = index; }));
      }
    }
    if (count > MAX_FOUND) {
      const more = document.createElement("li");
      more.textContent = (count - MAX_FOUND) + " more entities";
      found.appendChild(more);
    }
  }

  // Regions whose name holds the text, and with a number, the entities of that object or bitmap.
  function search() {
    const text = $("search").value.trim();
    const found = $("found");
    found.replaceChildren();
    if (text === "") {
      return;
    }
    const lower = text.toLowerCase();
    for (const region of site.regions) {
      if ([region.name, region.file, region.title].some((text) => text.toLowerCase().includes(lower))) {
        found.appendChild(link("Region " + label(region), "#" + encodeURIComponent(region.name)));
      }
    }
    if (/^[0-9]+$/.test(text)) {
      findEntities(Number(text), found);
    }
    if (found.childElementCount === 0) {
      say("No match.");
    }
  }

  // "RGN04 - Old Town": the file's name, then the region's own when it has one.
  function label(region) {
    return region.title === "" ? region.name : region.name + " - " + region.title;
  }

  function fillIndex() {
    const list = $("regions");
    for (const region of site.regions) {
      const item = link("", "#" + encodeURIComponent(region.name));
      const image = document.createElement("img");
      image.src = "thumbs/" + encodeURIComponent(region.name) + ".png";
      image.alt = "";
      const caption = document.createElement("span");
      caption.textContent = label(region);
      item.firstChild.append(image, caption);
      list.appendChild(item);
    }
    for (const failure of site.failed) {
      const item = document.createElement("li");
      item.textContent = failure.file + ": " + failure.reason;
      $("failures").appendChild(item);
    }
    $("failed").hidden = site.failed.length === 0;
    // Without objects the maps are the ground: there is no layer to turn off.
    $("layerObjects").parentElement.hidden = !site.objects;
  }

  function start() {
    window.addEventListener("hashchange", route);
    window.addEventListener("resize", resize);
    document.addEventListener("keydown", onKey);
    $("search").addEventListener("input", search);
    $("search").addEventListener("keydown", (event) => {
      const first = $("found").querySelector("a");
      if (event.key === "Enter" && first !== null) {
        first.click();
      }
    });
    for (const id of ["layerObjects", "layerMarkers", "layerGrid"]) {
      $(id).addEventListener("change", () => {
        $(id).blur();
        draw();
      });
    }
    // The controls give the focus back, so that Space steps regions rather than pressing them.
    for (const [id, by] of [["zoomIn", 1], ["zoomOut", -1]]) {
      $(id).addEventListener("click", () => {
        $(id).blur();
        setView(view.x, view.y, view.zoom + by);
      });
    }
    canvas.addEventListener("mousedown", (event) => {
      drag = { x: event.clientX, y: event.clientY, view: view, moved: false };
    });
    window.addEventListener("mouseup", (event) => {
      if (drag !== null && !drag.moved && current !== null) {
        const row = markerUnder(event.clientX, event.clientY);
        if (row !== null) {
          showRow(row);
        } else {
          $("popup").hidden = true;
        }
      }
      drag = null;
    });
    canvas.addEventListener("mousemove", (event) => {
      pointer = { x: event.clientX, y: event.clientY };
      if (drag !== null && (drag.moved || Math.abs(event.clientX - drag.x) + Math.abs(event.clientY - drag.y) > 2)) {
        drag.moved = true;
        const s = scale();
        setView(drag.view.x - Math.round((event.clientX - drag.x) / s),
          drag.view.y - Math.round((event.clientY - drag.y) / s), view.zoom);
      } else if (current !== null) {
        showPointer();
      }
    });
    canvas.addEventListener("mouseleave", () => {
      pointer = null;
      showPointer();
    });
    canvas.addEventListener("wheel", (event) => {
      event.preventDefault();
      if (event.deltaY !== 0) {
        zoomAround(view.zoom + (event.deltaY < 0 ? 1 : -1), event.clientX, event.clientY);
      }
    }, { passive: false });
    fillIndex();
    route();
  }

  return {
    index: function (data) {
      site = data;
      start();
    },
    region: function (name, data) {
      loaded[name] = data.entities;
    },
  };
})();
