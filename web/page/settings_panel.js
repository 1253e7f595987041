// A slider for each physical setting, its design value marked under it: a change is a
// `set NAME VALUE` command of the run, so it is recorded and shared, and "design values" sets
// every one back. The sliders follow the settings as they are, also those of a played run.

function f64(sim, pointer, count) { return sim.HEAPF64.subarray(pointer >> 3, (pointer >> 3) + count); }

// The shortest decimal that reads back as the same 32-bit float (9.81, not 9.8100004196167).
function floatText(v) {
  for (let digits = 1; digits < 9; ++digits) {
    const text = String(Number(v.toPrecision(digits)));
    if (Math.fround(Number(text)) === Math.fround(v)) return text;
  }
  return String(v);
}

// A decimal step with about 10^4 positions over the range, which reaches every design value.
function stepFor(low, high) { return 10 ** (Math.floor(Math.log10(high - low)) - 4); }

// play(text): carries out commands as the run's; returns the reader's message or null.
export function installSettings(sim, list, designButton, play) {
  const rows = [];
  for (let i = 0; i < sim._webSettingCount(); ++i) {
    const name = sim.UTF8ToString(sim._webSettingName(i));
    const unit = sim.UTF8ToString(sim._webSettingUnit(i));
    const [low, high, design] = [...f64(sim, sim._webSettingRange(i), 3)].map(floatText);
    const row = document.createElement('li');
    row.innerHTML = `<label for="setting-${name}">${name}</label> <output for="setting-${name}"></output>
      <input type="range" id="setting-${name}" min="${low}" max="${high}" step="${stepFor(Number(low), Number(high))}" list="design-${name}">
      <datalist id="design-${name}"><option value="${design}"></option></datalist>
      <span class="design">design value ${design} ${unit}</span>`;
    const slider = row.querySelector('input'), shown = row.querySelector('output');
    slider.addEventListener('input', () => { shown.textContent = slider.value; });
    slider.addEventListener('change', () => play(`set ${name} ${slider.value}\n`));
    rows.push({ name, design, slider, shown, index: i });
    list.append(row);
  }
  designButton.addEventListener('click', () => play(rows.map((r) => `set ${r.name} ${r.design}\n`).join('')));
  return () => {
    for (const r of rows) {
      const value = floatText(sim._webSettingValue(r.index));
      r.shown.textContent = value;
      if (document.activeElement !== r.slider) r.slider.value = value;
    }
  };
}
