// A slider for each physical setting, its design value marked under it, and a checkbox for each
// switch (contact, own-weight): a change is a setting command of the run (the module writes it,
// a switch as on or off), so it is recorded and shared, and "design values" sets every one back
// (the switches off). The controls follow the settings as they are, also those of a played run.

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

// A checkbox for switch `index`; a refused change puts it back as the switch is.
function installSwitch(api, name, index, designOn, list, change) {
  const row = document.createElement('li');
  row.className = 'switch';
  row.innerHTML = `<input type="checkbox" id="setting-${name}"> <label for="setting-${name}">${name}</label>
    <span class="design">design value ${designOn ? 'on' : 'off'}</span>`;
  const box = row.querySelector('input');
  box.addEventListener('change', () => {
    if (!change(index, box.checked ? 1 : 0)) box.checked = api.settingValue(index) !== 0;
  });
  list.append(row);
  return { name, design: designOn ? 1 : 0, box, index };
}

// api: the module (module_api.js), which carries out the controls' changes as the run's commands;
// a change it refuses (a value out of range) is named in `message`, and the control goes back.
export function installSettings(api, list, designButton, message) {
  const change = (index, value) => {
    const fault = api.changeSetting(index, value);
    message.textContent = fault ?? '';
    return fault === null;
  };
  const rows = [];
  api.settings().forEach((setting, index) => {
    const { name, unit } = setting;
    if (setting.isSwitch) {
      rows.push(installSwitch(api, name, index, setting.design !== 0, list, change));
      return;
    }
    const [low, high, design] = [setting.low, setting.high, setting.design].map(floatText);
    const row = document.createElement('li');
    row.innerHTML = `<label for="setting-${name}">${name}</label> <output for="setting-${name}"></output>
      <input type="range" id="setting-${name}" min="${low}" max="${high}" step="${stepFor(Number(low), Number(high))}" list="design-${name}">
      <datalist id="design-${name}"><option value="${design}"></option></datalist>
      <span class="design">design value ${design} ${unit}</span>`;
    const slider = row.querySelector('input'), shown = row.querySelector('output');
    slider.addEventListener('input', () => { shown.textContent = slider.value; });
    slider.addEventListener('change', () => {
      if (!change(index, Number(slider.value))) slider.value = shown.textContent = floatText(api.settingValue(index));
    });
    rows.push({ name, design, slider, shown, index });
    list.append(row);
  });
  designButton.addEventListener('click', () => { rows.every((r) => change(r.index, Number(r.design))); });
  return () => {
    for (const r of rows) {
      if (r.box) {
        r.box.checked = api.settingValue(r.index) !== 0;
        continue;
      }
      const value = floatText(api.settingValue(r.index));
      r.shown.textContent = value;
      if (document.activeElement !== r.slider) r.slider.value = value;
    }
  };
}
