// The page's box, its count, the files dropped on it and the Generate button.
// What the count says, what is asked before parts, the parts' names, how a
// dropped file is read and the documents themselves come from the core
// (lirrevo-core.js); the page reads the box, asks, and writes the files.
"use strict";
(() => {
  const count = document.getElementById("count");
  const core = LirrevoCore();
  const encoder = new TextEncoder();
  // The core's captions are in the system's text, GBK.
  const gbk = new TextDecoder("gbk");

  // The box draws only the lines in view, so a keystroke costs the same in
  // a list of ten lines and of a million.
  const editor = CodeMirror(document.getElementById("editor"), {
    inputStyle: "contenteditable", lineWrapping: false, spellcheck: false, autocorrect: false,
    autocapitalize: false, autofocus: true,
    // Tab moves on to the button; Enter starts a new line with nothing
    // carried over from the line before.
    extraKeys: {
      Tab: false, "Shift-Tab": false,
      Enter: (instance) => instance.replaceSelection("\n", "end", "+input"),
    },
  });
  const box = editor.getInputField();
  box.id = "box";
  box.setAttribute("role", "textbox");
  box.setAttribute("aria-multiline", "true");
  box.setAttribute("aria-labelledby", "box-label");
  box.setAttribute("aria-describedby", "count");
  window.lirrevoEditor = editor;

  // CR LF, a lone CR and a lone LF each end a line in the box; a line
  // separator and a paragraph separator end one too, as in the desktop window.
  const separators = /[\u2028\u2029]/;
  editor.on("beforeChange", (instance, change) => {
    if (change.update && change.text.some((line) => separators.test(line))) {
      change.update(undefined, undefined, change.text.flatMap((line) => line.split(separators)));
    }
  });

  // The caption for the box's line breaks and whether text follows the last.
  async function showCount() {
    const started = performance.now();
    const module = await core;
    const textAfterLastBreak = editor.getLine(editor.lastLine()).length > 0;
    const caption = module._LirrevoCountCaption(editor.lineCount() - 1, textAfterLastBreak);
    count.textContent = gbk.decode(module.HEAPU8.subarray(caption, module.HEAPU8.indexOf(0, caption)));
    // Milliseconds the last count took, from the change to the label set.
    window.lirrevoLastCountMs = performance.now() - started;
  }
  editor.on("changes", showCount);
  showCount();

  // Returns use(address, size) for a copy of the bytes in the core's memory,
  // freed after; throws when the core has no room for them.
  function withCopyInCore(module, bytes, use) {
    const address = module._malloc(bytes.length + 1);
    if (address === 0) throw new RangeError("no room in the core");
    try {
      module.HEAPU8.set(bytes, address);
      return use(address, bytes.length);
    } finally {
      module._free(address);
    }
  }

  // The text's UTF-8 in the core's memory, encoded there in place (a byte for
  // each UTF-16 unit is room enough for ASCII, three for any text): { address,
  // size }, for the caller to free. Throws when the core has no room, or for a
  // lone surrogate, which has no character (the encoder would put U+FFFD in
  // its place).
  function textInCore(module, text) {
    if (typeof text.isWellFormed === "function" ? !text.isWellFormed() : /\p{Cs}/u.test(text)) {
      throw new RangeError("a lone surrogate");
    }
    for (const room of [text.length + 1, 3 * text.length + 1]) {
      const address = module._malloc(room);
      if (address === 0) throw new RangeError("no room in the core");
      const done = encoder.encodeInto(text, module.HEAPU8.subarray(address, address + room));
      if (done.read === text.length) return { address, size: done.written };
      module._free(address);
    }
  }

  // A dropped file's text, read as lirrevo-cli reads a list file: the core
  // finds the byte-order mark and checks every line, the browser turns the
  // bytes into text (the page links no converter of its own). Without a
  // UTF-16 mark the bytes are UTF-8 where they are valid UTF-8, else
  // GB18030, which reads GBK as well. null when they are neither, or when a
  // line cannot stand in the document.
  function decodeDroppedList(module, bytes) {
    const start = bytes.subarray(0, 4);
    const mark = withCopyInCore(module, start,
      (address, size) => module.UTF8ToString(module._LirrevoListEncoding(address, size)));
    const body = bytes.subarray(Number(mark[0]));
    const encoding = mark.slice(1);
    for (const label of encoding === "utf-8" ? ["utf-8", "gb18030"] : [encoding]) {
      let text;
      try {
        text = new TextDecoder(label, { fatal: true, ignoreBOM: true }).decode(body);
      } catch (error) {
        continue;
      }
      const utf8 = label === "utf-8" ? body : encoder.encode(text);
      const ok = withCopyInCore(module, utf8, module._LirrevoCheckList);
      return ok === 1 ? text : null;
    }
    return null;
  }

  // The dropped files' lines go in where they land, in the files' order, or
  // nothing does when one of them cannot be read.
  async function insertDroppedFiles(files, at) {
    const started = performance.now();
    const module = await core;
    const texts = [];
    for (const file of files) {
      const text = await file.arrayBuffer()
        .then((bytes) => decodeDroppedList(module, new Uint8Array(bytes))).catch(() => null);
      if (text === null) {
        await show("无法读取“" + file.name + "”：只能放入 UTF-8、GBK、GB18030 或带字节顺序标记的"
          + " UTF-16 文本文件，且其中没有 XML 不能容纳的字符。");
        return;
      }
      texts.push(text);
    }
    editor.replaceRange(texts.join("\n"), at, at, "paste");
    editor.focus();
    // Milliseconds from the drop to the lines in the box.
    window.lirrevoLastDropMs = performance.now() - started;
  }

  // Dropped text is the editor's own business; dropped files are read here.
  editor.on("drop", (instance, event) => {
    const files = event.dataTransfer ? Array.from(event.dataTransfer.files) : [];
    if (files.length === 0) return;
    event.preventDefault();
    insertDroppedFiles(files, instance.coordsChar({ left: event.clientX, top: event.clientY }, "window"));
  });

  // Shows the dialog (the message or the question) with the text; gives the
  // dialog once it is closed.
  function show(text, id = "message") {
    const dialog = document.getElementById(id);
    document.getElementById(id + "-text").textContent = text;
    dialog.showModal();
    return new Promise((resolve) => dialog.addEventListener("close", () => resolve(dialog), { once: true }));
  }

  // Milliseconds the last question waited for its answer.
  let askingMs = 0;

  // True for "是", the default button; "否" and Escape give false.
  async function ask(text) {
    const asked = performance.now();
    document.getElementById("question").returnValue = "";
    const question = await show(text, "question");
    askingMs = performance.now() - asked;
    return question.returnValue === "yes";
  }

  // The parts' names beside the chosen name, as lirrevo-cli --split names them.
  function partNames(module, name, count) {
    return withCopyInCore(module, encoder.encode(name), (address, size) => Array.from({ length: count },
      (_, i) => module.UTF8ToString(module._LirrevoPartName(address, size, i + 1))));
  }

  const suggestedName = "deadlinks.xml";
  const xmlTypes = [{ description: "XML文件（*.xml）", accept: { "application/xml": [".xml"] } }];

  // The picker's file under its name completed as the window's Save dialog
  // completes it: a typed name without an extension gets ".xml", one with an
  // extension keeps it. Where the browser cannot rename a picked file, the
  // name stays as typed.
  async function completeName(handle) {
    try {
      if (handle.name.lastIndexOf(".") <= 0) await handle.move(handle.name + ".xml");
    } catch (error) {
      // The file the picker made is still there, under the typed name.
    }
    return handle;
  }

  function download(blob, name) {
    const link = document.createElement("a");
    link.href = URL.createObjectURL(blob);
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    // The download has taken the bytes long before this.
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  }

  // The parts in a folder the user picks (the chosen file's, to start with),
  // all or none: each is written to the side and put in place only once all
  // are written. Where the browser has no folder picker, one zip download.
  // Returns the second line of the message, or null when the folder picker
  // was cancelled.
  async function writeParts(module, blobs, name, handle) {
    const names = partNames(module, name, blobs.length);
    if (typeof window.showDirectoryPicker !== "function") {
      // The chosen name without ".xml": STEM.zip.
      const zipName = (name.endsWith(".xml") ? name.slice(0, -4) : name) + ".zip";
      download(await zipParts(blobs, names), zipName);
      return "已下载 " + zipName + "，内有 " + names.length + " 个文件。";
    }
    let folder;
    try {
      folder = await window.showDirectoryPicker({ mode: "readwrite", startIn: handle ?? "documents" });
    } catch (error) {
      if (error.name === "AbortError") return null;
      throw error;
    }
    const writables = [];
    try {
      for (const [i, blob] of blobs.entries()) {
        const file = await folder.getFileHandle(names[i], { create: true });
        writables.push(await file.createWritable());
        await writables[i].write(blob);
      }
    } catch (error) {
      await Promise.allSettled(writables.map((writable) => writable.abort()));
      throw error;
    }
    for (const writable of writables) await writable.close();
    try {
      // The Save picker may have made the chosen file, empty; the parts stand
      // in for it.
      if (handle !== null && (await handle.getFile()).size === 0) await handle.remove();
    } catch (error) {
      // Then the empty file stays.
    }
    return "已在文件夹“" + folder.name + "”中写入 " + names.length + " 个文件。";
  }

  // One zip holding the parts, deflated a chunk at a time.
  async function zipParts(blobs, names) {
    const zipped = [];
    const zip = new fflate.Zip((error, chunk) => {
      if (error) throw error;
      zipped.push(chunk);
    });
    for (const [i, blob] of blobs.entries()) {
      const entry = new fflate.ZipDeflate(names[i]);
      zip.add(entry);
      const bytes = new Uint8Array(await blob.arrayBuffer());
      const step = 4 << 20;
      for (let at = 0; at < bytes.length; at += step) {
        entry.push(bytes.subarray(at, at + step), at + step >= bytes.length);
      }
    }
    zip.end();
    return new Blob(zipped, { type: "application/zip" });
  }

  // Writes the documents of the box's text, dated date, under the chosen
  // name: the core measures them first and, past the search engines' limits,
  // the user is asked before any is built; then only the one document, or
  // only its parts, is built, each a Blob, and written. Returns the message's
  // second line for parts, "" for the one document, null when the folder
  // picker was cancelled; throws when the text holds what the document cannot.
  async function writeDocuments(module, date, handle) {
    const name = handle !== null ? handle.name : suggestedName;
    const input = textInCore(module, editor.getValue("\n"));
    let split = false;
    let blobs;
    try {
      const question = withCopyInCore(module, encoder.encode(name), (address, size) =>
        module._LirrevoSplitQuestion(input.address, input.size, ...date, address, size));
      split = question !== 0 && module.HEAPU8[question] !== 0
        && await ask(module.UTF8ToString(question));
      module.lirrevoParts = [];
      if (question === 0 || !module._LirrevoStreamDocument(input.address, input.size, ...date, split)) {
        throw new RangeError("a line that the document cannot hold");
      }
      blobs = module.lirrevoParts.map((chunks) => new Blob(chunks, { type: "application/xml" }));
    } finally {
      module.lirrevoParts = [];
      module._free(input.address);
    }
    if (split) return writeParts(module, blobs, name, handle);
    if (handle === null) {
      download(blobs[0], suggestedName);
      return "";
    }
    const writable = await handle.createWritable();
    await writable.write(blobs[0]);
    await writable.close();
    return "";
  }

  // Asks for the file first, as the window does, then builds the document
  // from the box at that moment. Past the search engines' limits it asks
  // whether to write parts instead. A cancelled dialog does nothing more; a
  // document that cannot be built shows "失败" and writes nothing.
  async function onGenerateClicked() {
    const started = performance.now();
    askingMs = 0;
    let handle = null;
    if (typeof window.showSaveFilePicker === "function") {
      try {
        handle = await completeName(await window.showSaveFilePicker({ suggestedName, types: xmlTypes }));
      } catch (error) {
        if (error.name === "AbortError") return;
        handle = null;
      }
    }
    let result = "失败";
    try {
      const module = await core;
      const now = new Date();
      const date = typeof window.lirrevoDateForTests === "function" ? window.lirrevoDateForTests()
        : [now.getFullYear(), now.getMonth() + 1, now.getDate()];
      const written = await writeDocuments(module, date, handle);
      if (written === null) return;
      result = written === "" ? "生成成功！" : "生成成功！\n" + written;
    } catch (error) {
      result = "失败";
    }
    // The click is done once the message shows: the message is modal, and
    // its close event, which comes a task later, holds nothing back.
    show(result);
    // Milliseconds from the click to the message, the Save dialog included
    // and the question left out.
    window.lirrevoLastGenerateMs = performance.now() - started - askingMs;
  }

  // Served over http or https, the page keeps its files to open offline and
  // installs as an app; from file:// it runs without the worker.
  if ("serviceWorker" in navigator && /^https?:$/.test(location.protocol)) {
    navigator.serviceWorker.register("service-worker.js");
  }

  let running = false;
  document.getElementById("generate").addEventListener("click", () => {
    if (running) return;
    running = true;
    onGenerateClicked().finally(() => { running = false; });
  });
})();
