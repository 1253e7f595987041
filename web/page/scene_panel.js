// The scene menu and the scene editor. The menu holds the prepared scenes (their keys' scene
// files) and the example scenes; choosing one puts its commands into the editor and builds it.
// Build carries out the editor's commands as the run's own, so they are recorded and shared. A
// bad line changes nothing: the reader's message names it, the editor selects it, and the
// scene that runs goes on.

// The character offsets of line `line` (from 1) of text.
function lineSpan(text, line) {
  let start = 0;
  for (let i = 1; i < line && start >= 0; ++i) start = text.indexOf('\n', start) + 1 || -1;
  if (start < 0) return [text.length, text.length];
  const end = text.indexOf('\n', start);
  return [start, end < 0 ? text.length : end];
}

async function fetchText(url) {
  const response = await fetch(url);
  if (!response.ok) throw new Error(`${url}: ${response.status} ${response.statusText}`);
  return response.text();
}

// play(text): carries out commands as the run's; returns the reader's message or null.
export async function installScenes({ menu, editor, build, message }, play) {
  const scenes = JSON.parse(await fetchText('scenes/index.json'));
  for (const [group, files] of Object.entries(scenes)) {
    const options = Object.assign(document.createElement('optgroup'), { label: group });
    for (const { file, title } of files) options.append(new Option(title, file));
    menu.append(options);
  }
  const say = (text, line = 0) => {
    message.textContent = text;
    editor.setAttribute('aria-invalid', String(line > 0));
    if (line > 0) {
      editor.focus();
      editor.setSelectionRange(...lineSpan(editor.value, line));
    }
  };
  const buildEditor = () => {
    const fault = play(editor.value);
    const line = fault ? Number(/^[^:]*:(\d+):/.exec(fault)?.[1] ?? 0) : 0;
    say(fault ?? 'built; the scene runs', line);
  };
  build.addEventListener('click', buildEditor);
  // A prepared scene started by its key or button: its commands, for the editor.
  const showPrepared = async (key) => {
    editor.value = await fetchText(`scenes/key-${key}.sim`);
    editor.setAttribute('aria-invalid', 'false');
  };
  await showPrepared('1');  // the page starts with the one-cube scene
  menu.addEventListener('change', async () => {
    if (!menu.value) return;
    editor.value = await fetchText(`scenes/${menu.value}`);
    buildEditor();
  });
  return showPrepared;
}
