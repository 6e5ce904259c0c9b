// An RGB night light on an iCE40-UP5K (SG48): the internal 48 MHz oscillator
// clocks a breathing curve read from a table in block RAM, scaled by a DSP
// multiply-accumulate, logged into the single-port RAM and shown through the
// constant-current RGB driver as three phase-shifted PWM colours. The 10 kHz
// oscillator blinks a heartbeat, and a PLL on the 12 MHz pin clocks a
// frequency counter that reports how many slow ticks a breath lasts.
module curve (input clk, input [7:0] phase, output reg [7:0] level);
  reg [7:0] table_ [0:255];
  integer i;
  initial for (i = 0; i < 256; i = i + 1) table_[i] = (i < 128) ? 2 * i : 2 * (255 - i);
  always @(posedge clk) level <= table_[phase];
endmodule

module scale (input clk, input [15:0] level, input [15:0] gain, output [31:0] out);
  SB_MAC16 #(.A_REG(1'b1), .B_REG(1'b1), .TOPOUTPUT_SELECT(2'b11), .BOTOUTPUT_SELECT(2'b11),
             .A_SIGNED(1'b0), .B_SIGNED(1'b0))
      u_mac (.CLK(clk), .CE(1'b1), .A(level), .B(gain), .C(16'b0), .D(16'b0), .AHOLD(1'b0),
             .BHOLD(1'b0), .CHOLD(1'b0), .DHOLD(1'b0), .IRSTTOP(1'b0), .IRSTBOT(1'b0),
             .ORSTTOP(1'b0), .ORSTBOT(1'b0), .OLOADTOP(1'b0), .OLOADBOT(1'b0), .ADDSUBTOP(1'b0),
             .ADDSUBBOT(1'b0), .OHOLDTOP(1'b0), .OHOLDBOT(1'b0), .CI(1'b0), .ACCUMCI(1'b0),
             .SIGNEXTIN(1'b0), .O(out));
endmodule

module logger (input clk, input [15:0] value, input [13:0] addr, input write, output [15:0] back);
  SB_SPRAM256KA u_ram (.ADDRESS(addr), .DATAIN(value), .MASKWREN(4'b1111), .WREN(write),
                       .CHIPSELECT(1'b1), .CLOCK(clk), .STANDBY(1'b0), .SLEEP(1'b0),
                       .POWEROFF(1'b1), .DATAOUT(back));
endmodule

module pwm (input clk, input [7:0] duty, input [7:0] count, output reg on);
  always @(posedge clk) on <= count < duty;
endmodule

module glow (input clk, input mode, output led_r, output led_g, output led_b, output beat,
             output [3:0] breaths);
  wire osc;
  SB_HFOSC #(.CLKHF_DIV("0b10")) u_hf (.CLKHFEN(1'b1), .CLKHFPU(1'b1), .CLKHF(osc));
  wire slow;
  SB_LFOSC u_lf (.CLKLFEN(1'b1), .CLKLFPU(1'b1), .CLKLF(slow));

  reg [19:0] step = 0;
  reg [7:0] count = 0;
  always @(posedge osc) begin step <= step + 1'b1; count <= count + 1'b1; end
  wire [7:0] phase = step[19:12];
  wire [7:0] level_r, level_g, level_b;
  curve u_cr (.clk(osc), .phase(phase), .level(level_r));
  curve u_cg (.clk(osc), .phase(phase + 8'd85), .level(level_g));
  curve u_cb (.clk(osc), .phase(phase + 8'd170), .level(level_b));
  wire [31:0] scaled;
  scale u_scale (.clk(osc), .level({8'b0, level_r}), .gain(mode ? 16'd3 : 16'd1), .out(scaled));
  wire [15:0] back;
  logger u_log (.clk(osc), .value(scaled[15:0]), .addr(step[19:6]), .write(step[5:0] == 0),
                .back(back));
  wire pr, pg, pb;
  pwm u_pr (.clk(osc), .duty(scaled[9:2] ^ back[15:8]), .count(count), .on(pr));
  pwm u_pg (.clk(osc), .duty(level_g), .count(count), .on(pg));
  pwm u_pb (.clk(osc), .duty(level_b), .count(count), .on(pb));
  SB_RGBA_DRV #(.CURRENT_MODE("0b1"), .RGB0_CURRENT("0b000011"), .RGB1_CURRENT("0b000011"),
                .RGB2_CURRENT("0b000011"))
      u_rgb (.CURREN(1'b1), .RGBLEDEN(1'b1), .RGB0PWM(pg), .RGB1PWM(pb), .RGB2PWM(pr),
             .RGB0(led_g), .RGB1(led_b), .RGB2(led_r));

  reg [12:0] beats = 0;
  always @(posedge slow) beats <= beats + 1'b1;
  assign beat = beats[12];

  wire fast;
  SB_PLL40_PAD #(.FEEDBACK_PATH("SIMPLE"), .DIVR(4'd0), .DIVF(7'd63), .DIVQ(3'd5),
                 .FILTER_RANGE(3'd1))
      u_pll (.PACKAGEPIN(clk), .PLLOUTGLOBAL(fast), .RESETB(1'b1), .BYPASS(1'b0));
  reg [3:0] seen = 0;
  reg last = 0;
  always @(posedge fast) begin
    last <= phase[7];
    if (phase[7] && !last) seen <= seen + 1'b1;
  end
  assign breaths = seen;
endmodule
